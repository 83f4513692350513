#include <cstdint>
#include <optional>

#include "cli/commands.hpp"
#include "cli/device_front.hpp"
#include "cli/skeleton.hpp"
#include "base/console.hpp"
#include "unit/identifiers.hpp"

namespace quave {

namespace {

int clear_on_device(DeviceInterface& device, const DeviceSettings& settings) {
  const auto module = static_cast<uint8_t>(settings.module_index);
  const std::string name = module_display_name(module);
  if (settings.slot_index < 0) {
    out_line("> Clearing all slots of \"" + name + "\" module.");
    const Outcome outcome = device.clear_module(module);
    if (outcome.ok()) return 0;
    report_failure(outcome, "Error: Failed to clear slots.");
    return 1;
  }
  const unsigned count = device.info().modules[module].slot_count();
  if (static_cast<unsigned>(settings.slot_index) >= count) {
    err_line("Error: Slot index too large. Only " + std::to_string(count) +
             " slots available.");
    return 1;
  }
  out_line("> Clearing slot #" + std::to_string(settings.slot_index) + " of \"" + name +
           "\" module.");
  const Outcome outcome = device.clear_slot(module, static_cast<uint8_t>(settings.slot_index));
  if (outcome.ok()) return 0;
  report_failure(outcome, "Error: Failed to clear slot.");
  return 1;
}

}  // namespace

int clear(int argc, char** argv) {
  DeviceSettings settings;
  const auto stopped = run_covered([&]() -> std::optional<int> {
    po::options_description table("Clear Command Options");
    table.add_options()
      ("help,h", "Display usage help.")
      ("module,m", po::value<std::string>(), "Module specifier: modfx, delfx, revfx, osc.")
      ("slot,s", po::value<uint16_t>(), "Index of slot to clear. To clear all, use -a/--all option.")
      ("all,a", "Clear all slots of specified module.");
    add_device_options(table);
    table.add_options()("version,V", "Display version information.");
    po::variables_map vm;
    if (auto done = run_skeleton(argc, argv, table, "Usage: quave-cli clear <options>", vm)) return *done;

    if (vm.count("list")) {
      settings.list_only = true;
    } else {
      if (!vm.count("module")) {
        err_text("Error: A module must be specified.\n\n");
        return 1;
      }
      const auto module = read_module(vm["module"].as<std::string>());
      if (!module) return 1;
      settings.module_index = *module;
      if (vm.count("slot")) {
        settings.slot_index = vm["slot"].as<uint16_t>();
      } else if (!vm.count("all")) {
        err_text("Error: Either a slot or the -a/--all option must be specified.\n\n");
        return 1;
      }
      settings.options = read_option_bits(vm);
      if (!read_port_pair(vm, settings)) return 1;
    }
    return std::nullopt;
  });
  if (stopped) return *stopped;

  // From "> Handshaking..." on, exceptions belong to the dispatcher.
  Connection connection = connect_device(settings, FrontStyle::load_clear);
  if (!connection.device) return connection.exit_code;
  return clear_on_device(*connection.device, settings);
}

}  // namespace quave
