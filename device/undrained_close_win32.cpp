#include "device/undrained_close.hpp"

namespace quave {

// Windows' MIDI ports keep no buffer that a close waits on.
void close_undrained(const std::function<void()>& close) { close(); }

}  // namespace quave
