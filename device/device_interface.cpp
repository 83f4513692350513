#include "device/device_interface.hpp"

#include <algorithm>

#include "base/bytes.hpp"
#include "device/interrupt.hpp"
#include "device/load_data.hpp"
#include "unit/identifiers.hpp"

namespace quave {

std::vector<uint8_t> make_load_data(const std::vector<uint8_t>& image, uint32_t crc) {
  std::vector<uint8_t> data(8 + image.size());
  put_le32(&data[0], static_cast<uint32_t>(image.size()));
  put_le32(&data[4], crc);
  std::copy(image.begin(), image.end(), data.begin() + 8);
  return data;
}

DeviceInterface::DeviceInterface(std::unique_ptr<Link> link, Narrator& narrator)
    : link_(std::move(link)), narrator_(narrator) {}

void DeviceInterface::take_idle_messages() {
  while (auto message = link_->receive(link_->now())) narrator_.taken(*message);
}

Outcome DeviceInterface::exchange(const Message& request, RequestKind kind,
                                  std::chrono::milliseconds timeout, const Judge& judge) {
  const auto failed = [kind](Fault fault, uint32_t code = 0) { return Outcome{fault, kind, code}; };
  narrator_.sent(request);
  const SendEnd end =
      link_->send(request, [this, &request](size_t sent) { narrator_.sending(sent, request.size()); });
  if (const int signal = link_->interruption()) throw Interrupted{signal};
  if (end == SendEnd::gone) return failed(Fault::gone);
  if (end == SendEnd::stalled) return failed(Fault::stalled);
  // Any other failed send is left to the wait, which times out and says so.

  using Clock = Link::Clock;
  const Clock::time_point deadline = link_->now() + timeout;
  Clock::time_point next_look = link_->now() + kPresenceEvery;
  for (;;) {
    std::optional<Message> message = link_->receive(std::min(deadline, next_look));
    if (const int signal = link_->interruption()) throw Interrupted{signal};
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
    const Clock::time_point now = link_->now();
    if (now >= deadline) break;
    if (now >= next_look) {
      if (!link_->present()) return failed(Fault::gone);
      next_look = now + kPresenceEvery;
    }
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
    const unsigned count = recorded_slot_count(info_.modules[m]);
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

Outcome DeviceInterface::load_unit(const std::vector<uint8_t>& image, uint32_t crc,
                                   uint8_t module, uint8_t slot) {
  if (!handshake_complete_ || image.empty()) return {Fault::refused, kUnitLoad};
  take_idle_messages();
  const DeviceAddress address = info_.address();
  return exchange(make_unit_load_request(address, module, slot, make_load_data(image, crc)),
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
  if (!handshake_complete_ || module >= kModuleCount) return {Fault::refused, kClear};
  return clear(make_slot_clear_request(info_.address(), module, slot), kClearSlotTimeout);
}

Outcome DeviceInterface::clear_module(uint8_t module) {
  if (!handshake_complete_ || module >= kModuleCount) return {Fault::refused, kClear};
  return clear(make_module_clear_request(info_.address(), module), kClearModuleTimeout);
}

}  // namespace quave
