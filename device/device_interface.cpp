#include "device/device_interface.hpp"

#include <algorithm>

#include "base/interrupt.hpp"

namespace quave {

namespace {

// Whether an exchange may go on: asked while a long message goes out and
// after each wait for a reply. It alone decides that an interruption or a
// device gone away ends the exchange.
class Watch {
 public:
  explicit Watch(Link& link) : link_(link), next_look_(link.now() + kPresenceEvery) {}

  bool go_on() {
    if (link_.interruption()) return false;
    const Link::Clock::time_point now = link_.now();
    if (now < next_look_) return true;
    next_look_ = now + kPresenceEvery;
    return link_.present();
  }
  // Why it said stop: an interruption, thrown, or else the device is gone.
  Fault stopped() const {
    if (const int signal = link_.interruption()) throw Interrupted{signal};
    return Fault::gone;
  }
  Link::Clock::time_point next_look() const { return next_look_; }

 private:
  Link& link_;
  Link::Clock::time_point next_look_;
};

}  // namespace

DeviceInterface::DeviceInterface(std::unique_ptr<Link> link, Narrator& narrator)
    : link_(std::move(link)), narrator_(narrator) {}

void DeviceInterface::take_idle_messages() {
  while (auto message = link_->receive(link_->now())) narrator_.taken(*message);
}

Outcome DeviceInterface::exchange(const Message& request, RequestKind kind,
                                  std::chrono::milliseconds timeout, const Judge& judge) {
  const auto failed = [kind](Fault fault, uint32_t code = 0) { return Outcome{fault, kind, code}; };
  // Refused before anything goes: a part of it would leave the device
  // inside a SysEx message, deaf to the next one.
  if (const auto largest = link_->largest_message(); largest && request.size() > *largest) {
    return {Fault::too_long, kind, 0, request.size(), *largest};
  }
  Watch watch(*link_);
  narrator_.sent(request);
  const SendWatch send_watch{
      [this, &request](size_t sent) { narrator_.sending(sent, request.size()); },
      [&watch] { return watch.go_on(); }};
  switch (link_->send(request, send_watch)) {
    case SendEnd::sent: break;
    case SendEnd::stopped: return failed(watch.stopped());
    case SendEnd::stalled: return failed(Fault::stalled);
    // A part that would not go: a device gone is why, or the wait times out
    // and says so.
    case SendEnd::failed:
      if (!link_->present()) return failed(Fault::gone);
      break;
  }
  if (const int signal = link_->interruption()) throw Interrupted{signal};

  const Link::Clock::time_point deadline = link_->now() + timeout;
  for (;;) {
    std::optional<Message> message = link_->receive(std::min(deadline, watch.next_look()));
    if (message) {
      strip_realtime_bytes(*message);
      const Answer answer = judge(*message);
      if (answer.taken) narrator_.taken(*message);
      switch (answer.kind) {
        case Answer::reply: return {};
        case Answer::error: return failed(Fault::device_error, answer.code);
        case Answer::unrecognised: narrator_.unrecognised_status((*message)[kFunctionAt]); break;
        case Answer::none: break;
      }
    }
    if (!watch.go_on()) return failed(watch.stopped());
    if (link_->now() >= deadline) break;
  }
  // A device that went away is why nothing came.
  return failed(link_->present() ? Fault::timed_out : Fault::gone);
}

Outcome DeviceInterface::handshake() {
  take_idle_messages();
  const auto step = [this](HandshakeStep::Kind kind, unsigned module = 0, unsigned slot = 0,
                           bool empty = false) {
    narrator_.step({kind, module, slot, empty}, info_);
  };

  Outcome outcome = exchange(make_search_device_request(), kSearchDevice, kHandshakeTimeout,
                             [this](const Message& m) { return answer_search(m, info_); });
  if (!outcome.ok()) return outcome;
  step(HandshakeStep::identified);

  outcome = exchange(make_api_version_request(info_.address()), kApiVersion, kHandshakeTimeout,
                     [this](const Message& m) { return answer_api_version(m, info_); });
  if (!outcome.ok()) return outcome;
  step(HandshakeStep::api_version);

  step(HandshakeStep::modules_asked);
  for (unsigned m = 0; m < kModuleCount; ++m) {
    Answer answer;
    outcome = exchange(make_module_info_request(info_.address(), static_cast<uint8_t>(m)),
                       kModuleInfo, kHandshakeTimeout, [&](const Message& message) {
                         return answer = answer_module_info(message, info_, m);
                       });
    if (!outcome.ok()) return outcome;
    step(HandshakeStep::module_answered, m, 0, answer.empty);
  }
  step(HandshakeStep::modules_answered);

  // A module without slots, or without info, is not asked.
  step(HandshakeStep::slots_asked);
  for (unsigned m = 0; m < kModuleCount; ++m) {
    const unsigned count = info_.modules[m].recorded_slots();
    for (unsigned s = 0; s < count; ++s) {
      if (s == 0) step(HandshakeStep::module_slots, m);
      Answer answer;
      outcome = exchange(make_slot_status_request(info_.address(), static_cast<uint8_t>(m),
                                                  static_cast<uint8_t>(s)),
                         kSlotStatus, kHandshakeTimeout, [&](const Message& message) {
                           return answer = answer_slot_status(message, info_, m, s);
                         });
      if (!outcome.ok()) return outcome;
      step(HandshakeStep::slot_answered, m, s, answer.empty);
    }
  }
  step(HandshakeStep::slots_answered);
  handshake_complete_ = true;
  return {};
}

Outcome DeviceInterface::load_unit(const PreparedUnit& unit, uint8_t slot) {
  if (!handshake_complete_ || slot >= kNameableSlots) return {Fault::refused, kUnitLoad};
  take_idle_messages();
  const DeviceAddress address = info_.address();
  return exchange(make_unit_load_request(address, unit.header.module(), slot, unit.image.bytes,
                                         unit.image.crc),
                  kUnitLoad, kLoadTimeout,
                  [&address](const Message& m) { return answer_status(m, address, kUnitLoad); });
}

Outcome DeviceInterface::clear(const Message& request, std::chrono::milliseconds timeout) {
  take_idle_messages();
  const DeviceAddress address = info_.address();
  return exchange(request, kClear, timeout,
                  [&address](const Message& m) { return answer_status(m, address, kClear); });
}

Outcome DeviceInterface::clear_slot(uint8_t module, uint8_t slot) {
  if (!handshake_complete_ || module >= kModuleCount || slot >= kNameableSlots) {
    return {Fault::refused, kClear};
  }
  return clear(make_slot_clear_request(info_.address(), module, slot), kClearSlotTimeout);
}

Outcome DeviceInterface::clear_module(uint8_t module) {
  if (!handshake_complete_ || module >= kModuleCount) return {Fault::refused, kClear};
  return clear(make_module_clear_request(info_.address(), module), kClearModuleTimeout);
}

}  // namespace quave
