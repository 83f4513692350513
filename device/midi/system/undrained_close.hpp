// Letting go of an ALSA port without waiting for a dead link to drain. When
// the last sender unsubscribes from a sound card's MIDI port the kernel waits
// up to 10 s for the port's output buffer to empty, even when the device has
// stopped reading. That wait gives way to a signal, so one is sent to the
// closing thread until the close has returned. An unplugged device is another
// matter: the kernel's own disconnect drains the buffer, up to 10 s, and
// holds the port meanwhile (Linux 6.1 and 6.12 alike); no signal shortens it.
#pragma once

#include <functional>

namespace quave {

void close_undrained(const std::function<void()>& close);

}  // namespace quave
