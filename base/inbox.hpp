// Messages on their way from a MIDI library's thread (or any reading thread)
// to the one thread that looks at them: the command's, or the simulator's.
// The reading thread only copies a message in and wakes the waiter; it never
// waits for it.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <vector>

namespace quave {

class Inbox {
 public:
  using Clock = std::chrono::steady_clock;
  using Message = std::vector<uint8_t>;

  // What a device may have waiting at once. A reply is at most a few KiB;
  // past this a flood is dropped rather than held.
  static constexpr size_t kMostBytes = size_t{1} << 20;

  // Any thread. A message that would take the inbox past kMostBytes is
  // dropped.
  void put(const uint8_t* bytes, size_t size);
  // The oldest message, waiting for one until `until`; nothing when `until`
  // comes first or the inbox has been rung.
  std::optional<Message> take(Clock::time_point until);
  // Waits until `count` messages wait, `until` comes or the inbox is rung,
  // and hands over every message waiting; nothing once rung.
  std::vector<Message> take_all(Clock::time_point until, size_t count = 1);
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
