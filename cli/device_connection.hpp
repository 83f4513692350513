// The front the three device commands share once their options are read:
// listing the ports, or opening them and running the handshake; and the
// failure lines they print about the device.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/json.hpp"
#include "cli/console_narrator.hpp"
#include "cli/device_options.hpp"
#include "device/device_interface.hpp"
#include "device/midi/synth_ports.hpp"

namespace quave {

// Probe's failure lines carry no "Error: " prefix and it does not announce
// the handshake; load and clear do both.
enum class FrontStyle { probe, load_clear };

// A device that passed its handshake, or the command's result.
struct Connection {
  // Declared first: the device tells it things until the device ends.
  std::unique_ptr<ConsoleNarrator> narrator;
  std::unique_ptr<DeviceInterface> device;
  // Long messages go at 5-pin DIN pace (a card's port whose buffer cannot
  // be read).
  bool din_pace = false;
  int exit_code = 0;
  // The ports open, and the synthesizer they are when it was chosen by
  // name; every synthesizer the port names showed, where they were read.
  PortPair ports;
  std::optional<std::string> synth;
  std::vector<SynthPorts> synths;
};

// Where the user installs the MIDI library by hand and has none.
extern const char* const kMidiLibraryMissing;

// Lists the ports (--list; as JSON with `json`), or opens them and runs the
// handshake, printing the command's failure lines. `command` names it to another command that
// waits for the synthesizer; `model`, a unit's, chooses among several
// synthesizers. `device` is set only when the handshake succeeded. Catches
// nothing.
Connection connect_device(const DeviceOptions& options, FrontStyle style, const char* command,
                          std::optional<PlatformId> model = std::nullopt);

// The failure line of an outcome, if it has one, then the command's own.
void report_failure(const Outcome& outcome, const std::string& command_line);

// [{"name": ..., "in": N, "out": M}, ...]
Json synths_json(const std::vector<SynthPorts>& synths);

// Whether `slot` is one of the module's slots; prints the refusal if not.
bool slot_exists(const DeviceInfo& info, ModuleId module, unsigned slot);

}  // namespace quave
