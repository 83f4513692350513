// The MIDI library's C interface as a table of functions. Where opening
// libraries by name is the custom (Linux) it is opened when a device command
// first needs it; elsewhere (Windows), or with QUAVE_LINK_RTMIDI, it is
// linked and the table is filled at compile time.
#pragma once

#include <rtmidi_c.h>

#include <string>
#include <vector>

namespace quave {

// The functions the program uses, each named once: the table's members,
// the linked table and the names looked up in the opened library are all
// made from this list (F is applied to each name without its "rtmidi_").
#define QUAVE_MIDI_LIBRARY_FUNCTIONS(F)                                          \
  F(get_compiled_api) F(in_create) F(in_free) F(in_set_callback) F(in_ignore_types) \
  F(out_create) F(out_free) F(out_send_message) F(get_port_count) F(get_port_name)  \
  F(open_port) F(close_port)

// Its C++ classes cannot be reached through dlsym, hence the C interface.
struct MidiLibrary {
#define QUAVE_MIDI_MEMBER(name) decltype(&rtmidi_##name) name;
  QUAVE_MIDI_LIBRARY_FUNCTIONS(QUAVE_MIDI_MEMBER)
#undef QUAVE_MIDI_MEMBER
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
#define QUAVE_MIDI_LINKED(name) rtmidi_##name,
  static const MidiLibrary library{QUAVE_MIDI_LIBRARY_FUNCTIONS(QUAVE_MIDI_LINKED)};
#undef QUAVE_MIDI_LINKED
  return &library;
}
#endif

}  // namespace quave
