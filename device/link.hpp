// The way to the device and back, as the transactions use it: send a whole
// message, take the next one that came. MidiLink (device/midi_link.hpp) is
// the real one; the tests drive the transactions through a fake.
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <optional>

#include "device/messages.hpp"
#include "device/paced_send.hpp"

namespace quave {

class Link {
 public:
  using Clock = std::chrono::steady_clock;
  virtual ~Link() = default;

  // Sends one message; a long one may go out in paced fragments, telling
  // `progress` the bytes sent so far.
  virtual SendEnd send(const Message& message, const std::function<void(size_t)>& progress) = 0;
  // The oldest message that came and has not been taken; waits for one
  // until `until`, and returns nothing then, or at once after an
  // interruption.
  virtual std::optional<Message> receive(Clock::time_point until) = 0;
  // Whether the device is still there; asked now and then while a reply is
  // awaited.
  virtual bool present() = 0;
  // The signal that interrupted the command (SIGINT, SIGTERM), or 0.
  virtual int interruption() = 0;
  // The time the waits are measured by.
  virtual Clock::time_point now() { return Clock::now(); }
};

}  // namespace quave
