#include "cli/device_options.hpp"

#include "base/console.hpp"

namespace quave {

void add_device_options(po::options_description& table) {
  table.add_options()
    ("list,l", "List all available MIDI ports.")
    ("inport,i", po::value<uint16_t>(), "Input MIDI port index.")
    ("outport,o", po::value<uint16_t>(), "Output MIDI port index.")
    ("synth,n", po::value<std::string>(), "Synthesizer by its name, as -l shows it (\"halvane rx\").")
    ("verbose,v", "Print out verbose details about each step.")
    ("debug,d", "Print out transaction details.")
    ("version,V", "Display version information.");
}

namespace {

DeviceOptions narration(const po::variables_map& vm) {
  DeviceOptions options;
  options.verbose = vm.count("verbose") > 0;
  options.debug = vm.count("debug") > 0;
  return options;
}

}  // namespace

std::optional<DeviceOptions> read_list_request(const po::variables_map& vm) {
  if (!vm.count("list")) return std::nullopt;
  DeviceOptions options = narration(vm);
  options.list_only = true;
  return options;
}

std::optional<DeviceOptions> read_device_options(const po::variables_map& vm) {
  DeviceOptions options = narration(vm);
  const bool has_in = vm.count("inport") > 0;
  const bool has_out = vm.count("outport") > 0;
  if (vm.count("synth")) {
    if (has_in || has_out) {
      err_line("Error: Name the synthesizer with -n/--synth or its ports with -i and -o, not both.");
      return std::nullopt;
    }
    options.synth = vm["synth"].as<std::string>();
    return options;
  }
  if (has_in != has_out) {
    err_line(
        "Error: Both input and output ports must be specified when using explicit MIDI port "
        "options.");
    return std::nullopt;
  }
  if (!has_in) return options;
  const uint16_t in = vm["inport"].as<uint16_t>();
  const uint16_t out = vm["outport"].as<uint16_t>();
  // Only 0..127 can be opened; passing the low byte on would open another
  // port than the one named, or quietly search by name instead.
  if (in > 127 || out > 127) {
    err_line("Error: MIDI port index out of range. Use a value from 0 to 127.");
    return std::nullopt;
  }
  options.ports = PortPair{in, out};
  return options;
}

std::optional<ModuleId> read_module(const std::string& text) {
  if (auto module = module_from_name(text)) return *module;
  err_line("Error: Invalid module specifier. (" + text + ")");
  return std::nullopt;
}

}  // namespace quave
