#include "device/midi/system/jack_watch.hpp"

// Weak: a program without the hooks (the fuzz targets) has none.
extern "C" int quave_jack_shutdowns() __attribute__((weak));
extern "C" void quave_jack_messages(int shown) __attribute__((weak));

namespace quave {

bool jack_server_lost() { return quave_jack_shutdowns && quave_jack_shutdowns() > 0; }

void show_jack_messages(bool shown) {
  if (quave_jack_messages) quave_jack_messages(shown ? 1 : 0);
}

}  // namespace quave
