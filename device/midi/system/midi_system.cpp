#include "device/midi/system/midi_system.hpp"

#include "device/midi/system/backend_problems.hpp"
#include "device/midi/system/jack_watch.hpp"
#include "device/midi/system/midi_library.hpp"

namespace quave {

namespace {

// Loaded once: its threads may run until the last port is freed, so it
// stays for the life of the process.
const MidiLibrary* loaded(LibraryFailure& failure) {
  static LibraryFailure failed;
  static const MidiLibrary* const library = open_midi_library(failed);
  failure = failed;
  return library;
}

const MidiLibrary* loaded_library(std::string& why) {
  LibraryFailure failure;
  const MidiLibrary* library = loaded(failure);
  if (!library) why = failure.why;
  return library;
}

}  // namespace

bool midi_library_missing() {
  LibraryFailure failure;
  return !loaded(failure) && failure.missing;
}

const MidiSystem& host_system() {
  static const MidiSystem system{loaded_library,   output_link_of,     sequencer_has_port,
                                 jack_server_lost, loaded_jack_server, backend_problems};
  return system;
}

}  // namespace quave
