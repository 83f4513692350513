#include <iostream>

#include "cli/commands.hpp"
#include "cli/skeleton.hpp"

namespace quave {

int check(int argc, char** argv) {
  try {
    po::options_description table("Check Command Options");
    table.add_options()
      ("help,h", "Display usage help.")
      ("unit,u", po::value<std::string>(), "Path to unit to check. Must be path to unit package directory.")
      ("version,V", "Display version information.");
    po::variables_map vm;
    if (auto done = run_skeleton(argc, argv, table, "Usage: quave-cli check <options>", vm)) return *done;
  } catch (const std::exception& e) {
    std::cerr << "Error: " << e.what() << std::endl;
    return 1;
  }
  std::cerr << "Error: Not implemented yet." << std::endl;
  return 1;
}

}  // namespace quave
