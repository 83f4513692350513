#include <optional>

#include "base/console.hpp"
#include "cli/commands.hpp"
#include "cli/device_connection.hpp"
#include "cli/device_options.hpp"
#include "cli/skeleton.hpp"
#include "display/probe_json.hpp"
#include "display/probe_report.hpp"

namespace quave {

namespace {

struct ProbeSettings {
  DeviceOptions device;
  // Nothing: the report lists the modules instead of one module's slots.
  std::optional<ModuleId> module;
};

}  // namespace

int probe(int argc, char** argv) {
  ProbeSettings settings;
  // Spelt as scripts match it; do not correct.
  const std::string unknown_text = "Uknown exception!\n\n";
  const auto stopped = run_covered([&]() -> std::optional<int> {
    po::options_description table("Probe Command Options");
    table.add_options()
      ("help,h", "Display usage help.")
      ("module,m", po::value<std::string>(), "Module specifier: modfx, delfx, revfx, osc.")
      ("json", "Print the report, or the ports with -l, as one JSON document.");
    add_device_options(table);
    po::variables_map vm;
    if (auto done = run_skeleton(argc, argv, table, "Usage: quave-cli probe <options>\n\nDetects and displays information about a connected quave device.", vm)) return *done;

    const bool json = vm.count("json") > 0;
    if (auto list = read_list_request(vm)) {
      settings.device = *list;
      settings.device.json = json;
      return std::nullopt;
    }
    if (vm.count("module")) {
      settings.module = read_module(vm["module"].as<std::string>());
      if (!settings.module) return 1;
    }
    const auto device = read_device_options(vm);
    if (!device) return 1;
    settings.device = *device;
    settings.device.json = json;
    return std::nullopt;
  }, unknown_text);
  if (stopped) return *stopped;

  // From here on exceptions belong to the dispatcher.
  Connection connection = connect_device(settings.device, FrontStyle::probe, "probe");
  if (!connection.device) return connection.exit_code;
  const DeviceInfo& info = connection.device->info();
  if (!settings.device.json) {
    out_text(probe_report(info, settings.module));
    return 0;
  }
  Json doc = probe_json(info, settings.module);
  doc.set("ports", Json::object()
                       .set("in", Json::number(connection.ports.in))
                       .set("out", Json::number(connection.ports.out)));
  doc.set("synthesizer", Json::string_or_null(connection.synth ? &*connection.synth : nullptr));
  doc.set("synthesizers", synths_json(connection.synths));
  out_text(doc.text());
  return 0;
}

}  // namespace quave
