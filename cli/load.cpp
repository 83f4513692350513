#include <cstdint>
#include <iostream>

#include "cli/commands.hpp"
#include "cli/skeleton.hpp"

namespace quave {

int load(int argc, char** argv) {
  try {
    po::options_description table("Load Command Options");
    table.add_options()
      ("help,h", "Display usage help.")
      ("unit,u", po::value<std::string>(), "Path to unit to load. Must be path to unit package directory.")
      ("slot,s", po::value<uint16_t>(), "Target slot index for the unit. If this option is omitted the first free slot will be used.")
      ("list,l", "List all available MIDI ports.")
      ("inport,i", po::value<uint16_t>(), "Input MIDI port index.")
      ("outport,o", po::value<uint16_t>(), "Output MIDI port index.")
      ("verbose,v", "Print out verbose details about each step.")
      ("debug,d", "Print out transaction details.")
      ("version,V", "Display version information.");
    po::variables_map vm;
    if (auto done = run_skeleton(argc, argv, table, "Usage: quave-cli load <options>", vm)) return *done;
  } catch (const std::exception& e) {
    std::cerr << "Error: " << e.what() << std::endl;
    return 1;
  }
  std::cerr << "Error: Not implemented yet." << std::endl;
  return 1;
}

}  // namespace quave
