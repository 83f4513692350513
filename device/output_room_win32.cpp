#include "device/output_room.hpp"

namespace quave {

// Windows' MIDI ports show no buffer of the kernel's.
OutputLink output_link_of(const std::string&) { return {}; }

}  // namespace quave
