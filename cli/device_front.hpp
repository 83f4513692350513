// The front the three device commands share: reading the device options,
// the port pair, and creating, opening and handshaking the interface.
#pragma once

#include <boost/program_options.hpp>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "device/device_interface.hpp"

namespace quave {

namespace po = boost::program_options;

// One command's device settings; -1 means "not given".
struct DeviceSettings {
  int32_t module_index = -1;
  int32_t slot_index = -1;
  int32_t in_port = -1;
  int32_t out_port = -1;
  bool list_only = false;
  uint32_t options = 0;
};

// The rows the three device commands declare alike, in their order: list,
// inport, outport, verbose, debug.
void add_device_options(po::options_description& table);

// The ModuleId of a module name (exact, case-sensitive, "global" included),
// or the invalid-module error line and nothing.
std::optional<int32_t> read_module(const std::string& text);

// --inport and --outport: both or neither, each at most 127. Prints the
// refusal and returns false otherwise.
bool read_port_pair(const po::variables_map& vm, DeviceSettings& settings);

// Bit 0 from --verbose, bit 1 from --debug.
uint32_t read_option_bits(const po::variables_map& vm);

// Probe's failure lines carry no "Error: " prefix and it does not announce
// the handshake; load and clear do both.
enum class FrontStyle { probe, load_clear };

// Creates the interface and then either lists the ports (--list) or opens
// them and runs the handshake, printing the command's failure lines. `device`
// is set only when the handshake succeeded; otherwise `exit_code` is the
// command's result. Catches nothing.
struct Connection {
  std::unique_ptr<DeviceInterface> device;
  int exit_code = 0;
};
Connection connect_device(const DeviceSettings& settings, FrontStyle style);

// "  Available MIDI inputs:" ... "  Available MIDI ouputs:" ..., built in
// one piece.
std::string port_listing(DeviceInterface& device);

}  // namespace quave
