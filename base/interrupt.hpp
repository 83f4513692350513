// SIGINT and SIGTERM during a device command (on Windows: Ctrl-C,
// Ctrl-Break and a closed console window, as SIGINT, SIGBREAK, SIGTERM).
// They are noted as they come and wake the command's wait, which throws
// Interrupted; the unwinding closes the ports the normal way (a client
// killed mid-cycle stalls a synchronous JACK server for every client after
// it), and the program then ends as that interruption ends a program, so its
// caller sees the usual status (128 + signal from a POSIX shell,
// STATUS_CONTROL_C_EXIT on Windows).
#pragma once

namespace quave {

// Not a std::exception: nothing on the way may report it as an error.
struct Interrupted {
  int signal;
};

// Takes the interruptions over, before any MIDI thread exists; until then an
// interruption ends the program at once.
void catch_interrupts();
// The signal that came, or 0.
int interrupt_signal();
// `wake(context)` is called, on a thread of its own, when an interruption
// comes; it replaces the one before, and nullptr removes it. It must not
// block.
void on_interrupt(void (*wake)(void*), void* context);
// The program then ends through end_by_signal (base/process_end.hpp).

// Where the system hands an interruption over: the first one is kept, and
// the wake-up called.
void note_interrupt(int signal);

}  // namespace quave
