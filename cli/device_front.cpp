#include "cli/device_front.hpp"

#include <sstream>

#include "base/console.hpp"
#include "display/device_display.hpp"
#include "device/interrupt.hpp"
#include "unit/identifiers.hpp"

namespace quave {

void add_device_options(po::options_description& table) {
  table.add_options()
    ("list,l", "List all available MIDI ports.")
    ("inport,i", po::value<uint16_t>(), "Input MIDI port index.")
    ("outport,o", po::value<uint16_t>(), "Output MIDI port index.")
    ("verbose,v", "Print out verbose details about each step.")
    ("debug,d", "Print out transaction details.");
}

std::optional<int32_t> read_module(const std::string& text) {
  if (auto module = module_from_name(text)) return *module;
  err_line("Error: Invalid module specifier. (" + text + ")");
  return std::nullopt;
}

bool read_port_pair(const po::variables_map& vm, DeviceSettings& settings) {
  const bool has_in = vm.count("inport") > 0;
  const bool has_out = vm.count("outport") > 0;
  if (!has_in && !has_out) return true;
  if (has_in != has_out) {
    err_line(
        "Error: Both input and output ports must be specified when using explicit MIDI port "
        "options.");
    return false;
  }
  const uint16_t in = vm["inport"].as<uint16_t>();
  const uint16_t out = vm["outport"].as<uint16_t>();
  // Only 0..127 can be opened; passing the low byte on would open another
  // port than the one named, or quietly search by name instead.
  if (in > 127 || out > 127) {
    err_line("Error: MIDI port index out of range. Use a value from 0 to 127.");
    return false;
  }
  settings.in_port = in;
  settings.out_port = out;
  return true;
}

uint32_t read_option_bits(const po::variables_map& vm) {
  uint32_t options = 0;
  if (vm.count("verbose")) options |= kOptionVerbose;
  if (vm.count("debug")) options |= kOptionDebug;
  return options;
}

std::string port_listing(DeviceInterface& device) {
  std::ostringstream text;
  text << "  Available MIDI inputs:\n";
  device.list_input_ports(text);
  // Spelt as scripts match it; do not correct.
  text << "\n  Available MIDI ouputs:\n";
  device.list_output_ports(text);
  return text.str();
}

Connection connect_device(const DeviceSettings& settings, FrontStyle style) {
  const std::string prefix = style == FrontStyle::probe ? "" : "Error: ";
  if (style == FrontStyle::load_clear) out_line("> Handshaking...");

  catch_interrupts();
  Connection connection;
  auto device = std::make_unique<DeviceInterface>(settings.options);
  device->pending.narration = {module_line, slot_line};
  if (settings.list_only) {
    out_text(port_listing(*device) + "\n");
    return connection;
  }
  if (!device->open_ports(static_cast<uint8_t>(settings.in_port & 0xFF),
                          static_cast<uint8_t>(settings.out_port & 0xFF))) {
    err_line(prefix + "Quave interface connection failed.");
    err_text(port_listing(*device) + "\n");
    connection.exit_code = 1;
    return connection;
  }
  if (!device->handshake()) {
    err_line(prefix + "Quave handshake failed.");
    connection.exit_code = 1;
    return connection;
  }
  connection.device = std::move(device);
  return connection;
}

}  // namespace quave
