#include <pthread.h>
#include <signal.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "device/midi/system/undrained_close.hpp"

namespace quave {

namespace {

// Nothing else here uses it, and its default action is to ignore it.
constexpr int kNudge = SIGURG;
constexpr auto kNudgeEvery = std::chrono::milliseconds(20);
// However the close goes, the nudging stops.
constexpr int kMostNudges = 100;

void nothing(int) {}

}  // namespace

void close_undrained(const std::function<void()>& close) {
  // No SA_RESTART: the kernel's wait ends instead of starting over.
  struct sigaction nudge {};
  nudge.sa_handler = nothing;
  sigemptyset(&nudge.sa_mask);
  struct sigaction before {};
  sigaction(kNudge, &nudge, &before);
  const pthread_t closer = pthread_self();
  std::atomic<bool> closed{false};
  std::thread nudger([&] {
    for (int i = 0; i < kMostNudges && !closed; ++i) {
      std::this_thread::sleep_for(kNudgeEvery);
      if (!closed) pthread_kill(closer, kNudge);
    }
  });
  close();
  closed = true;
  nudger.join();
  sigaction(kNudge, &before, nullptr);
}

}  // namespace quave
