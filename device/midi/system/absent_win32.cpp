// What the Windows program has none of: no kernel buffer or sequencer to
// ask about a port, no backend that may refuse to open, no JACK, and a
// MIDI library that is linked rather than opened.
#include "device/midi/system/backend_problems.hpp"
#include "device/midi/system/jack_server.hpp"
#include "device/midi/system/jack_watch.hpp"
#include "device/midi/system/midi_library.hpp"
#include "device/midi/system/output_room.hpp"
#include "device/midi/system/undrained_close.hpp"

namespace quave {

OutputLink output_link_of(int, int) { return {}; }

std::optional<bool> sequencer_has_port(int, int) { return std::nullopt; }

// The multimedia API always opens; an empty list is just that.
std::vector<std::string> backend_problems(const std::vector<int>&) { return {}; }

// The multimedia API's ports keep no buffer that a close waits on.
void close_undrained(const std::function<void()>& close) { close(); }

bool jack_server_lost() { return false; }
std::optional<JackServer> loaded_jack_server() { return std::nullopt; }
void show_jack_messages(bool) {}

// The static build carries the library and its multimedia backend inside
// the executable.
const MidiLibrary* open_midi_library(const std::vector<std::string>&, LibraryFailure&) {
  return linked_midi_library();
}
const MidiLibrary* open_midi_library(LibraryFailure&) { return linked_midi_library(); }

}  // namespace quave
