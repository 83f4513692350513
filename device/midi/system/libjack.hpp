// libjack's functions, looked up by name: the program never links libjack,
// whichever JACK (jackd2's or PipeWire's) the MIDI library brings.
#pragma once

#include <dlfcn.h>

namespace quave {

// `symbol` of libjack as the MIDI library loaded it, or as loaded here;
// nothing where there is no libjack.
inline void* libjack_symbol(const char* symbol) {
  static void* const handle = [] {
    void* loaded = dlopen("libjack.so.0", RTLD_NOW | RTLD_NOLOAD);
    return loaded ? loaded : dlopen("libjack.so.0", RTLD_NOW | RTLD_LOCAL);
  }();
  return handle ? dlsym(handle, symbol) : nullptr;
}

}  // namespace quave
