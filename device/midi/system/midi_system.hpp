// What the MIDI link asks of the system beside its ports: the MIDI library
// itself, and the word of the kernel and of JACK on the port it chose. One
// table, so that the tests can put a system of their own in its place.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "device/midi/system/jack_server.hpp"
#include "device/midi/system/output_room.hpp"

namespace quave {

struct MidiLibrary;

struct MidiSystem {
  // The library, loaded on first use; nothing, with the reason, when it
  // cannot be had.
  const MidiLibrary* (*library)(std::string& why);
  OutputLink (*output_link_of)(int client, int port);
  std::optional<bool> (*sequencer_has_port)(int client, int port);
  bool (*jack_server_lost)();
  std::optional<JackServer> (*jack_server)();
  std::vector<std::string> (*backend_problems)(const std::vector<int>& backends);
};

// This machine's.
const MidiSystem& host_system();

// Whether this machine has no file of the MIDI library at all, where the user
// installs it by hand; loads it otherwise.
bool midi_library_missing();

}  // namespace quave
