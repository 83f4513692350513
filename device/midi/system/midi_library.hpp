// The MIDI library's C interface as a table of functions. Where opening
// libraries by name is the custom (Linux) it is opened when a device command
// first needs it; elsewhere (Windows), or with QUAVE_LINK_RTMIDI, it is
// linked and the table is filled at compile time.
#pragma once

#include <rtmidi_c.h>

#include <string>
#include <vector>

namespace quave {

// Its C++ classes cannot be reached through dlsym, hence the C interface.
struct MidiLibrary {
  decltype(&rtmidi_get_compiled_api) get_compiled_api;
  decltype(&rtmidi_in_create) in_create;
  decltype(&rtmidi_in_free) in_free;
  decltype(&rtmidi_in_set_callback) in_set_callback;
  decltype(&rtmidi_in_ignore_types) in_ignore_types;
  decltype(&rtmidi_out_create) out_create;
  decltype(&rtmidi_out_free) out_free;
  decltype(&rtmidi_out_send_message) out_send_message;
  decltype(&rtmidi_get_port_count) get_port_count;
  decltype(&rtmidi_get_port_name) get_port_name;
  decltype(&rtmidi_open_port) open_port;
  decltype(&rtmidi_close_port) close_port;
};

// Why the library could not be had: the loader's reason, and whether no
// file of any of its names was found at all (rather than one found and
// refused).
struct LibraryFailure {
  std::string why;
  bool missing = false;
};

// The library by the first of `names` (shared object names or paths) that
// opens. Nothing when none does: `why` is then the reason for the first name
// that was found, else for the first name. Once had, it stays for the life of
// the process because its threads may run until the last port is freed.
const MidiLibrary* open_midi_library(const std::vector<std::string>& names,
                                     LibraryFailure& failure);

// This build's: called once. `missing` is said only where the user installs
// the library by hand (the portable build), never for a package's
// dependency.
const MidiLibrary* open_midi_library(LibraryFailure& failure);

#ifdef QUAVE_LINK_RTMIDI
inline const MidiLibrary* linked_midi_library() {
  static const MidiLibrary library{
      rtmidi_get_compiled_api, rtmidi_in_create,      rtmidi_in_free,
      rtmidi_in_set_callback,  rtmidi_in_ignore_types, rtmidi_out_create,
      rtmidi_out_free,         rtmidi_out_send_message, rtmidi_get_port_count,
      rtmidi_get_port_name,    rtmidi_open_port,       rtmidi_close_port};
  return &library;
}
#endif

}  // namespace quave
