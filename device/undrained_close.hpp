// Letting go of an ALSA port without waiting for a dead link to drain. When
// the last sender unsubscribes from a sound card's MIDI port the kernel waits
// up to 10 s for the port's output buffer to empty, even when the device
// behind it is gone or has stopped reading (measured on Linux 6.12; 6.1 drops
// a gone device's port first). The wait gives way to a signal, so one is sent
// to the closing thread until the close has returned.
#pragma once

#include <functional>

namespace quave {

void close_undrained(const std::function<void()>& close);

}  // namespace quave
