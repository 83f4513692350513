#include <cstdint>
#include <optional>

#include "cli/commands.hpp"
#include "cli/device_front.hpp"
#include "cli/skeleton.hpp"
#include "base/console.hpp"
#include "display/probe_report.hpp"

namespace quave {

int probe(int argc, char** argv) {
  DeviceSettings settings;
  // Spelt as scripts match it; do not correct.
  const std::string unknown_text = "Uknown exception!\n\n";
  const auto stopped = run_covered([&]() -> std::optional<int> {
    po::options_description table("Probe Command Options");
    table.add_options()
      ("help,h", "Display usage help.")
      ("module,m", po::value<std::string>(), "Module specifier: modfx, delfx, revfx, osc.");
    add_device_options(table);
    table.add_options()("version,V", "Display version information.");
    po::variables_map vm;
    if (auto done = run_skeleton(argc, argv, table, "Usage: quave-cli probe <options>\n\nDetects and displays information about a connected quave device.", vm)) return *done;

    if (vm.count("list")) {
      settings.list_only = true;
    } else {
      if (vm.count("module")) {
        const auto module = read_module(vm["module"].as<std::string>());
        if (!module) return 1;
        settings.module_index = *module;
      }
      if (!read_port_pair(vm, settings)) return 1;
      settings.options = read_option_bits(vm);
    }
    return std::nullopt;
  }, unknown_text);
  if (stopped) return *stopped;

  // From here on exceptions belong to the dispatcher.
  Connection connection = connect_device(settings, FrontStyle::probe);
  if (!connection.device) return connection.exit_code;
  out_text(probe_report(connection.device->info(), settings.module_index));
  return 0;
}

}  // namespace quave
