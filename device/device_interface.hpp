// The conversation with one synthesizer over an open link: the handshake
// that learns who it is, then a unit load or a clear. Everything runs on the
// command's thread: a request goes out, then each message that comes is
// judged until one answers it, the time runs out, or the link fails. What
// happened comes back as an Outcome; what there is to show on the way goes
// to the command's Narrator.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "device/protocol/device_records.hpp"
#include "device/link.hpp"
#include "device/protocol/messages.hpp"
#include "device/narrator.hpp"
#include "device/outcome.hpp"
#include "device/protocol/replies.hpp"
#include "unit/unit_steps.hpp"

namespace quave {

// How long each request waits for its answer, counted from when it has
// gone out.
constexpr std::chrono::milliseconds kHandshakeTimeout{1000};
constexpr std::chrono::milliseconds kClearSlotTimeout{1000};
// The device erases the whole module before it answers.
constexpr std::chrono::milliseconds kClearModuleTimeout{20000};
// The device receives, checks and stores the unit before it answers.
constexpr std::chrono::milliseconds kLoadTimeout{5000};
// How often a wait, or a long send, asks whether the device is still there.
constexpr std::chrono::milliseconds kPresenceEvery{100};

// A slot goes out as one data byte of a SysEx message, where a byte of 0x80
// or more would end the message: slots 0 to 127 can be named, whatever
// count a module announces.
constexpr unsigned kNameableSlots = 128;

class DeviceInterface {
 public:
  // `link` is open; `narrator` outlives the interface. Ending the interface
  // ends the link.
  DeviceInterface(std::unique_ptr<Link> link, Narrator& narrator);
  DeviceInterface(const DeviceInterface&) = delete;
  DeviceInterface& operator=(const DeviceInterface&) = delete;

  Outcome handshake();
  // The rest need a completed handshake, and are refused without one, as is
  // a slot that cannot be named.
  Outcome load_unit(const PreparedUnit& unit, uint8_t slot);
  Outcome clear_slot(uint8_t module, uint8_t slot);
  Outcome clear_module(uint8_t module);

  const DeviceInfo& info() const { return info_; }

 private:
  using Judge = std::function<Answer(const Message&)>;
  // Sends `request` and judges what comes until an answer or a failure;
  // throws Interrupted when the user interrupts the sending or the wait.
  Outcome exchange(const Message& request, RequestKind kind, std::chrono::milliseconds timeout,
                   const Judge& judge);
  // What came while nothing was asked goes to the narrator's dump, not to
  // the next request.
  void take_idle_messages();
  Outcome clear(const Message& request, std::chrono::milliseconds timeout);

  std::unique_ptr<Link> link_;
  Narrator& narrator_;
  DeviceInfo info_;
  bool handshake_complete_ = false;
};

}  // namespace quave
