#include "device/interrupt.hpp"

#include <signal.h>
#include <unistd.h>

#include "base/console.hpp"

namespace quave {

namespace {

volatile sig_atomic_t caught = 0;

void note_signal(int signal) { caught = signal; }

}  // namespace

void catch_interrupts() {
  struct sigaction action {};
  action.sa_handler = note_signal;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
}

int interrupt_signal() { return caught; }

void throw_if_interrupted() {
  if (const int signal = caught) throw Interrupted{signal};
}

void end_by_signal(int signal) {
  flush_both();
  ::signal(signal, SIG_DFL);
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, signal);
  sigprocmask(SIG_UNBLOCK, &set, nullptr);
  raise(signal);
  _exit(128 + signal);
}

}  // namespace quave
