#include "device/midi_library.hpp"

namespace quave {

// Windows programs link their libraries; the static build carries the
// library and its multimedia backend inside the executable.
const MidiLibrary* open_midi_library(std::string&) { return linked_midi_library(); }

}  // namespace quave
