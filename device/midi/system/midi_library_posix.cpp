#include <dlfcn.h>

#include "device/midi/system/midi_library.hpp"

namespace quave {

#ifdef QUAVE_LINK_RTMIDI
const MidiLibrary* open_midi_library(const std::vector<std::string>&, LibraryFailure&) {
  return linked_midi_library();
}
const MidiLibrary* open_midi_library(LibraryFailure&) { return linked_midi_library(); }
#else
#if defined(QUAVE_PORTABLE) && !defined(QUAVE_RTMIDI_NAMES)
// RtMidi 6, then 5: their C interfaces are the same. RtMidi 4
// (librtmidi.so.5) and older return a port's name instead of filling a
// buffer, and are never taken.
#define QUAVE_RTMIDI_NAMES "librtmidi.so.7", "librtmidi.so.6"
#endif

namespace {

template <class Function>
bool resolve(void* handle, const char* symbol, Function& function) {
  function = reinterpret_cast<Function>(dlsym(handle, symbol));
  return function != nullptr;
}

// The loader's words when it found no file by that name anywhere it looks;
// a file it found and refused, or a library it needs that is missing, is
// reported under another name or in other words.
bool not_found(const std::string& name, const std::string& why) {
  return why == name + ": cannot open shared object file: No such file or directory";
}

}  // namespace

// Linking it would map the library, with the sound server's client
// libraries, into every run, check included.
const MidiLibrary* open_midi_library(const std::vector<std::string>& names,
                                     LibraryFailure& failure) {
  void* handle = nullptr;
  failure = LibraryFailure{"", true};
  for (const std::string& name : names) {
    handle = dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle) break;
    const std::string why = dlerror();
    if (failure.why.empty() || (failure.missing && !not_found(name, why))) failure.why = why;
    failure.missing = failure.missing && not_found(name, why);
  }
  if (!handle) return nullptr;
  static MidiLibrary library;
  bool complete = true;
#define QUAVE_MIDI_RESOLVE(name) complete = complete && resolve(handle, "rtmidi_" #name, library.name);
  QUAVE_MIDI_LIBRARY_FUNCTIONS(QUAVE_MIDI_RESOLVE)
#undef QUAVE_MIDI_RESOLVE
  if (!complete) {
    failure = LibraryFailure{dlerror(), false};
    return nullptr;
  }
  failure = LibraryFailure{};
  return &library;
}

const MidiLibrary* open_midi_library(LibraryFailure& failure) {
#ifdef QUAVE_PORTABLE
  const MidiLibrary* library = open_midi_library({QUAVE_RTMIDI_NAMES}, failure);
#else
  const MidiLibrary* library = open_midi_library({QUAVE_RTMIDI_SONAME}, failure);
  // The package depends on it: its absence is a broken install, reported as
  // any other failure to open it.
  failure.missing = false;
#endif
  return library;
}
#endif

}  // namespace quave
