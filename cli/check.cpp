#include <optional>

#include "base/console.hpp"
#include "cli/commands.hpp"
#include "cli/package_front.hpp"
#include "cli/skeleton.hpp"

namespace quave {

int check(int argc, char** argv) {
  return *run_covered([&]() -> std::optional<int> {
    po::options_description table("Check Command Options");
    table.add_options()
      ("help,h", "Display usage help.")
      ("unit,u", po::value<std::string>(), "Path to unit to check. Must be path to unit package directory.")
      ("version,V", "Display version information.");
    po::variables_map vm;
    if (auto done = run_skeleton(argc, argv, table, "Usage: quave-cli check <options>", vm)) return *done;

    if (!vm.count("unit")) {
      err_text("Error: Must specify a unit path.\n\n");
      return 1;
    }
    if (!read_unit(vm["unit"].as<std::string>())) return 1;
    out_line("> Looks okay.");
    return 0;
  });
}

}  // namespace quave
