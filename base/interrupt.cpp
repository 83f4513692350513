#include "base/interrupt.hpp"

#include <atomic>
#include <mutex>

namespace quave {

namespace {

std::atomic<int> caught{0};

// Never destroyed: the thread that notes an interruption may still run while
// the program's statics go.
std::mutex& waker_lock = *new std::mutex;
void (*waker)(void*) = nullptr;
void* waker_context = nullptr;

}  // namespace

void note_interrupt(int signal) {
  int none = 0;
  caught.compare_exchange_strong(none, signal);
  std::lock_guard<std::mutex> lock(waker_lock);
  if (waker) waker(waker_context);
}

int interrupt_signal() { return caught; }

void on_interrupt(void (*wake)(void*), void* context) {
  std::lock_guard<std::mutex> lock(waker_lock);
  waker = wake;
  waker_context = context;
  if (wake && caught) wake(context);
}

}  // namespace quave
