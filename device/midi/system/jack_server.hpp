// What the JACK server at hand carries of a long SysEx message, by its kind
// and version, as measured (docs/platforms.md; bench/jack-carry/). No JACK
// call tells it: jack_midi_max_event_size answers 32,736 bytes on every
// PipeWire, whose JACK since 1.3 turns each event into MIDI 2.0 packets in
// a buffer that holds 8,186 bytes of SysEx, drops an event that starts with
// a data byte, and may crash the sender on a longer one.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

namespace quave {

struct JackServer {
  std::string name;  // "jackd2 1.9.21", "PipeWire 1.4.2"
  // The longest SysEx message that arrives whole as one event; on PipeWire
  // 1.3 and later, all of one port's events in one cycle together.
  size_t largest_event = 0;
  // Whether an event that goes on with a SysEx begun in an earlier one
  // arrives.
  bool carries_continuations = true;
  bool pipewire = false;
};

// The server behind libjack's version string: "1.9.21" from jackd2's,
// "3.1.4.2 (using PipeWire 1.4.2)" from PipeWire's.
JackServer jack_server_from(const std::string& version_string);

// The server of the libjack this process has loaded; nothing where it has
// none.
std::optional<JackServer> loaded_jack_server();

}  // namespace quave
