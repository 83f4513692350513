#include "device/interrupt.hpp"

#include <pthread.h>
#include <signal.h>
#include <time.h>


namespace quave {

namespace {

int caught = 0;

sigset_t interrupt_set() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGINT);
  sigaddset(&set, SIGTERM);
  return set;
}

}  // namespace

// The signals are blocked rather than handled: the MIDI library's threads,
// all started after this, inherit the mask, so a signal never interrupts a
// system call inside the sound server's client library (which takes a read
// cut short for a dead server and tears the client down under us); it waits,
// pending, until the command's thread asks.
void catch_interrupts() {
  const sigset_t set = interrupt_set();
  pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

int interrupt_signal() {
  if (caught) return caught;
  const sigset_t set = interrupt_set();
  const timespec now{0, 0};
  const int signal = sigtimedwait(&set, nullptr, &now);
  if (signal > 0) caught = signal;
  return caught;
}

void throw_if_interrupted() {
  if (const int signal = interrupt_signal()) throw Interrupted{signal};
}

}  // namespace quave
