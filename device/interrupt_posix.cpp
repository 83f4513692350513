#include <pthread.h>
#include <signal.h>

#include <atomic>
#include <mutex>
#include <thread>

#include "device/interrupt.hpp"

namespace quave {

namespace {

std::atomic<int> caught{0};

// Never destroyed: the watching thread may still run while the program's
// statics go.
std::mutex& waker_lock = *new std::mutex;
void (*waker)(void*) = nullptr;
void* waker_context = nullptr;

sigset_t interrupt_set() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGINT);
  sigaddset(&set, SIGTERM);
  return set;
}

void watch(sigset_t set) {
  for (;;) {
    int signal = 0;
    if (sigwait(&set, &signal) != 0) continue;
    int none = 0;
    caught.compare_exchange_strong(none, signal);
    std::lock_guard<std::mutex> lock(waker_lock);
    if (waker) waker(waker_context);
  }
}

}  // namespace

// The signals are blocked in every thread and taken by one that only waits
// for them: the MIDI library's threads, all started after this, inherit the
// mask, so a signal never interrupts a system call inside the sound
// server's client library (which takes a read cut short for a dead server
// and tears the client down under us).
void catch_interrupts() {
  static std::once_flag started;
  std::call_once(started, [] {
    const sigset_t set = interrupt_set();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    std::thread(watch, set).detach();
  });
}

int interrupt_signal() { return caught; }

void throw_if_interrupted() {
  if (const int signal = interrupt_signal()) throw Interrupted{signal};
}

void on_interrupt(void (*wake)(void*), void* context) {
  std::lock_guard<std::mutex> lock(waker_lock);
  waker = wake;
  waker_context = context;
  if (wake && caught) wake(context);
}

}  // namespace quave
