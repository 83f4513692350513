// Word from the JACK hooks (device/midi/system/jack_hooks.hpp) where the
// program links them; elsewhere nothing is known and nothing changes.
#pragma once

namespace quave {

// Whether the server of one of our JACK clients has gone away.
bool jack_server_lost();
// Whether libjack's own messages reach standard error.
void show_jack_messages(bool shown);

}  // namespace quave
