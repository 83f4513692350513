#include <cstdint>
#include <iostream>

#include "cli/commands.hpp"
#include "cli/skeleton.hpp"

namespace quave {

int probe(int argc, char** argv) {
  try {
    po::options_description table("Probe Command Options");
    table.add_options()
      ("help,h", "Display usage help.")
      ("module,m", po::value<std::string>(), "Module specifier: modfx, delfx, revfx, osc.")
      ("list,l", "List all available MIDI ports.")
      ("inport,i", po::value<uint16_t>(), "Input MIDI port index.")
      ("outport,o", po::value<uint16_t>(), "Output MIDI port index.")
      ("verbose,v", "Print out verbose details about each step.")
      ("debug,d", "Print out transaction details.")
      ("version,V", "Display version information.");
    po::variables_map vm;
    if (auto done = run_skeleton(argc, argv, table, "Usage: quave-cli probe <options>\n\nDetects and displays information about a connected quave device.", vm)) return *done;
  } catch (const std::exception& e) {
    std::cerr << "Error: " << e.what() << std::endl;
    return 1;
  }
  std::cerr << "Error: Not implemented yet." << std::endl;
  return 1;
}

}  // namespace quave
