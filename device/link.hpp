// The way to the device and back, as the transactions use it: send a whole
// message, take the next one that came. The real one is the MIDI link
// (device/midi/midi_link.hpp); the tests drive the transactions through a
// fake with a clock of its own.
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <optional>

#include "device/protocol/messages.hpp"

namespace quave {

// A link whose device has taken nothing for this long has stopped reading.
// A real device stops reading while it is busy elsewhere, writing its flash
// memory being the longest such task (a 64 KiB block of the common serial
// flash chips takes up to 2 s to erase), well beyond the pauses of an
// emulated USB device on a busy host. Past that, the sender gives up.
constexpr std::chrono::seconds kStallAfter{3};

// How a send ended, in the link's words. The conversation turns it into an
// Outcome with what only it knows: the request, and why it said stop.
enum class SendEnd {
  sent,
  failed,   // the MIDI library refused a part
  stalled,  // the device took nothing for kStallAfter
  stopped,  // the watch said not to go on
};

// What a send that takes a while reports and asks as it goes.
struct SendWatch {
  // The bytes handed over so far.
  std::function<void(size_t)> progress;
  // Asked between the parts of a long message: false ends the sending.
  std::function<bool()> go_on;
};

class Link {
 public:
  using Clock = std::chrono::steady_clock;
  virtual ~Link() = default;

  // Sends one message; a long one may go out in parts.
  virtual SendEnd send(const Message& message, const SendWatch& watch) = 0;
  // The oldest message that came and has not been taken; waits for one
  // until `until`, and returns nothing then, or at once after an
  // interruption.
  virtual std::optional<Message> receive(Clock::time_point until) = 0;
  // Whether the device is still there.
  virtual bool present() = 0;
  // The signal that interrupted the command (SIGINT, SIGTERM), or 0.
  virtual int interruption() = 0;
  // The longest message the link can carry at all, where it has a limit.
  virtual std::optional<size_t> largest_message() { return std::nullopt; }
  // The time the waits are measured by.
  virtual Clock::time_point now() { return Clock::now(); }
};

}  // namespace quave
