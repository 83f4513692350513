#include <dlfcn.h>

#include "device/midi/system/midi_library.hpp"

namespace quave {

#ifdef QUAVE_LINK_RTMIDI
const MidiLibrary* open_midi_library(std::string&) { return linked_midi_library(); }
#else
namespace {

template <class Function>
bool resolve(void* handle, const char* symbol, Function& function) {
  function = reinterpret_cast<Function>(dlsym(handle, symbol));
  return function != nullptr;
}

}  // namespace

// Linking it would map the library, with the sound server's client
// libraries, into every run, check included.
const MidiLibrary* open_midi_library(std::string& why) {
  void* handle = dlopen(QUAVE_RTMIDI_SONAME, RTLD_NOW | RTLD_LOCAL);
  if (!handle) {
    why = dlerror();
    return nullptr;
  }
  static MidiLibrary library;
  const bool complete = resolve(handle, "rtmidi_get_compiled_api", library.get_compiled_api) &&
                        resolve(handle, "rtmidi_in_create", library.in_create) &&
                        resolve(handle, "rtmidi_in_free", library.in_free) &&
                        resolve(handle, "rtmidi_in_set_callback", library.in_set_callback) &&
                        resolve(handle, "rtmidi_in_ignore_types", library.in_ignore_types) &&
                        resolve(handle, "rtmidi_out_create", library.out_create) &&
                        resolve(handle, "rtmidi_out_free", library.out_free) &&
                        resolve(handle, "rtmidi_out_send_message", library.out_send_message) &&
                        resolve(handle, "rtmidi_get_port_count", library.get_port_count) &&
                        resolve(handle, "rtmidi_get_port_name", library.get_port_name) &&
                        resolve(handle, "rtmidi_open_port", library.open_port) &&
                        resolve(handle, "rtmidi_close_port", library.close_port);
  if (!complete) {
    why = dlerror();
    return nullptr;
  }
  return &library;
}
#endif

}  // namespace quave
