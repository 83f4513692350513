#include "device/jack_watch.hpp"

namespace quave {

// The Windows program has no JACK backend.
bool jack_server_lost() { return false; }
void show_jack_messages(bool) {}

}  // namespace quave
