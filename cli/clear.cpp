#include <cstdint>
#include <optional>

#include "base/console.hpp"
#include "cli/commands.hpp"
#include "cli/device_connection.hpp"
#include "cli/device_options.hpp"
#include "cli/skeleton.hpp"
#include "unit/identifiers.hpp"

namespace quave {

namespace {

struct ClearSettings {
  DeviceOptions device;
  ModuleId module = 0;
  // Nothing: every slot of the module (--all).
  std::optional<uint16_t> slot;
};

int clear_on_device(DeviceInterface& device, const ClearSettings& settings) {
  const std::string name = module_display_name(settings.module);
  if (!settings.slot) {
    out_line("> Clearing all slots of \"" + name + "\" module.");
    const Outcome outcome = device.clear_module(settings.module);
    if (outcome.ok()) return 0;
    report_failure(outcome, "Error: Failed to clear slots.");
    return 1;
  }
  if (!slot_exists(device.info(), settings.module, *settings.slot)) return 1;
  out_line("> Clearing slot #" + std::to_string(*settings.slot) + " of \"" + name +
           "\" module.");
  const Outcome outcome = device.clear_slot(settings.module, static_cast<uint8_t>(*settings.slot));
  if (outcome.ok()) return 0;
  report_failure(outcome, "Error: Failed to clear slot.");
  return 1;
}

}  // namespace

int clear(int argc, char** argv) {
  ClearSettings settings;
  const auto stopped = run_covered([&]() -> std::optional<int> {
    po::options_description table("Clear Command Options");
    table.add_options()
      ("help,h", "Display usage help.")
      ("module,m", po::value<std::string>(), "Module specifier: modfx, delfx, revfx, osc.")
      ("slot,s", po::value<uint16_t>(), "Index of slot to clear. To clear all, use -a/--all option.")
      ("all,a", "Clear all slots of specified module.");
    add_device_options(table);
    po::variables_map vm;
    if (auto done = run_skeleton(argc, argv, table, "Usage: quave-cli clear <options>", vm)) return *done;

    if (auto list = read_list_request(vm)) {
      settings.device = *list;
      return std::nullopt;
    }
    if (!vm.count("module")) {
      err_text("Error: A module must be specified.\n\n");
      return 1;
    }
    const auto module = read_module(vm["module"].as<std::string>());
    if (!module) return 1;
    settings.module = *module;
    if (vm.count("slot")) {
      settings.slot = vm["slot"].as<uint16_t>();
    } else if (!vm.count("all")) {
      err_text("Error: Either a slot or the -a/--all option must be specified.\n\n");
      return 1;
    }
    const auto device = read_device_options(vm);
    if (!device) return 1;
    settings.device = *device;
    return std::nullopt;
  });
  if (stopped) return *stopped;

  // From "> Handshaking..." on, exceptions belong to the dispatcher.
  Connection connection = connect_device(settings.device, FrontStyle::load_clear, "clear");
  if (!connection.device) return connection.exit_code;
  return clear_on_device(*connection.device, settings);
}

}  // namespace quave
