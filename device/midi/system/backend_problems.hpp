// Why no MIDI backend gives any port, in the system's words: a user without
// the sequencer's group, a kernel without a sequencer, a sound server that
// is not running.
#pragma once

#include <string>
#include <vector>

namespace quave {

// For the library's backends (`backends`, its API numbers): one line for
// each that cannot be opened, such as "ALSA: cannot open /dev/snd/seq:
// Permission denied (it opens for group audio, which this user is not in)",
// when none of them can; nothing when one can.
std::vector<std::string> backend_problems(const std::vector<int>& backends);

}  // namespace quave
