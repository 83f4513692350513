// Messages on their way from the MIDI library's input thread to the
// command's thread, which alone looks at them. The input thread only copies
// a message in and wakes the waiter; it never waits for the command.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>

#include "device/protocol/messages.hpp"

namespace quave {

class Inbox {
 public:
  using Clock = std::chrono::steady_clock;

  // What a device may have waiting at once. A reply is at most a few KiB;
  // past this a flood is dropped rather than held.
  static constexpr size_t kMostBytes = size_t{1} << 20;

  // Any thread. A message that would take the inbox past kMostBytes is
  // dropped.
  void put(const uint8_t* bytes, size_t size);
  // The oldest message, waiting for one until `until`; nothing when `until`
  // comes first or the inbox has been rung.
  std::optional<Message> take(Clock::time_point until);
  // Waits until `until`, or less once rung; messages that come meanwhile
  // stay.
  void sleep_until(Clock::time_point until);
  // Any thread: ends every wait at once, now and from now on.
  void ring();

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<Message> messages_;
  size_t bytes_ = 0;
  bool rung_ = false;
};

}  // namespace quave
