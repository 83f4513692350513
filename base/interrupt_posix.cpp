#include <pthread.h>
#include <signal.h>

#include <mutex>
#include <thread>

#include "base/interrupt.hpp"

namespace quave {

// The signals are blocked in every thread and taken by one that only waits
// for them: the MIDI library's threads, all started after this, inherit the
// mask, so a signal never interrupts a system call inside the sound
// server's client library (which takes a read cut short for a dead server
// and tears the client down under us).
void catch_interrupts() {
  static std::once_flag started;
  std::call_once(started, [] {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    std::thread([set] {
      for (;;) {
        int signal = 0;
        if (sigwait(&set, &signal) == 0) note_interrupt(signal);
      }
    }).detach();
  });
}

}  // namespace quave
