// SIGINT and SIGTERM during a device command. They wait, blocked, until the
// command's next polling turn, which throws Interrupted; the unwinding closes
// the ports the normal way (a client killed mid-cycle stalls a synchronous
// JACK server for every client after it), and the program then ends by the
// same signal, so its caller sees the usual status.
#pragma once

namespace quave {

// Not a std::exception: nothing on the way may report it as an error.
struct Interrupted {
  int signal;
};

// Blocks the two signals, before any MIDI thread exists; until then a signal
// ends the program at once.
void catch_interrupts();
// The signal that came, or 0.
int interrupt_signal();
void throw_if_interrupted();
// Restores the default action and raises `signal` again.
[[noreturn]] void end_by_signal(int signal);

}  // namespace quave
