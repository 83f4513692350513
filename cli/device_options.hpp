// The options the three device commands share, read once into a typed
// value.
#pragma once

#include <boost/program_options.hpp>
#include <optional>
#include <string>

#include "unit/identifiers.hpp"

namespace quave {

namespace po = boost::program_options;

// Ports given by index: both, never one alone.
struct PortPair {
  unsigned in = 0;
  unsigned out = 0;
};

struct DeviceOptions {
  bool list_only = false;
  // Nothing: the device's ports are found by their names.
  std::optional<PortPair> ports;
  // The synthesizer of this name (-n), never with `ports`.
  std::optional<std::string> synth;
  bool verbose = false;
  bool debug = false;
  // Probe's --json: standard output holds the document alone, so what -v
  // and -d tell goes to standard error.
  bool json = false;
};

// The rows the three device commands declare alike after their own, in
// their order: list, inport, outport, synth, verbose, debug, version.
void add_device_options(po::options_description& table);

// The port pair (both or neither, each at most 127) or the synthesizer's
// name, --verbose and --debug; or the refusal printed and nothing.
std::optional<DeviceOptions> read_device_options(const po::variables_map& vm);

// With --list, the options a listing goes by (--verbose and --debug: the
// latter shows the MIDI library's complaints), which the command takes
// before reading, or refusing, any of its own; nothing without --list.
std::optional<DeviceOptions> read_list_request(const po::variables_map& vm);

// The ModuleId of a module name (exact, case-sensitive, "global" included),
// or the invalid-module error line and nothing.
std::optional<ModuleId> read_module(const std::string& text);

}  // namespace quave
