// The front the three device commands share: reading the device options,
// the port pair, and creating, opening and handshaking the interface; and
// the narrator that shows what the device link tells as it goes.
#pragma once

#include <boost/program_options.hpp>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "cli/send_progress.hpp"
#include "device/device_interface.hpp"
#include "device/midi_link.hpp"
#include "device/narrator.hpp"

namespace quave {

namespace po = boost::program_options;

constexpr uint32_t kOptionVerbose = 0x1;
constexpr uint32_t kOptionDebug = 0x2;

// One command's device settings.
struct DeviceSettings {
  int32_t module_index = -1;  // -1: none given
  int32_t slot_index = -1;    // -1: none given
  std::optional<unsigned> in_port;
  std::optional<unsigned> out_port;
  bool list_only = false;
  uint32_t options = 0;  // kOptionVerbose, kOptionDebug
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

// Debug mode dumps every request and every reply taken; verbose mode
// narrates the handshake; a terminal shows a long message's progress.
class ConsoleNarrator : public Narrator {
 public:
  explicit ConsoleNarrator(uint32_t options);
  void sent(const Message& message) override;
  void taken(const Message& message) override;
  void unrecognised_status(uint8_t status) override;
  void step(const HandshakeStep& step, const DeviceInfo& info) override;
  void sending(size_t sent, size_t total) override;

  bool verbose() const { return verbose_; }

 private:
  const bool verbose_;
  const bool debug_;
  std::unique_ptr<SendProgress> progress_;
};

// Probe's failure lines carry no "Error: " prefix and it does not announce
// the handshake; load and clear do both.
enum class FrontStyle { probe, load_clear };

// Creates the interface and then either lists the ports (--list) or opens
// them and runs the handshake, printing the command's failure lines.
// `device` is set only when the handshake succeeded; otherwise `exit_code`
// is the command's result. Catches nothing.
struct Connection {
  // Declared first: the device tells it things until the device ends.
  std::unique_ptr<ConsoleNarrator> narrator;
  std::unique_ptr<DeviceInterface> device;
  // Long messages go at 5-pin DIN pace (a card's port whose buffer cannot
  // be read).
  bool din_pace = false;
  int exit_code = 0;
};
Connection connect_device(const DeviceSettings& settings, FrontStyle style);

// The failure line of an outcome, if it has one, then the command's own.
void report_failure(const Outcome& outcome, const std::string& command_line);

}  // namespace quave
