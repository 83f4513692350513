// Replies as a device would send them, and a device that answers them on a
// fake link, so the transactions run without MIDI.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <deque>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "device/device_interface.hpp"
#include "device/link.hpp"
#include "device/protocol/messages.hpp"
#include "tools/devsim/device/replies.hpp"

namespace quave::test {

// Replies as the device side builds them (tools/devsim/device/), addressed
// the way the program's tests name a device.
inline device_side::Address from(const DeviceAddress& a) { return {a.channel, a.model_id}; }

inline std::vector<uint8_t> pack7(const std::vector<uint8_t>& data) {
  return device_side::pack7(data);
}

// `channel_byte` as it goes in byte 4; family high 0x01, echo 0x55.
inline Message search_reply(uint8_t channel_byte, uint8_t family_low, uint8_t sys_major,
                            uint8_t sys_minor) {
  const device_side::Address a{channel_byte, {0x00, device_side::kFamilyHigh, family_low}};
  return device_side::search_reply(a, 0x55, sys_major, sys_minor);
}

inline Message device_header(const DeviceAddress& a, uint8_t byte6) {
  return device_side::device_header(from(a), byte6);
}

inline Message api_reply(const DeviceAddress& a, uint8_t platform, uint8_t major, uint8_t minor,
                         uint8_t patch) {
  return device_side::api_version_reply(from(a), platform, major, minor, patch);
}

inline Message module_info_reply(const DeviceAddress& a, uint8_t module,
                                 const std::vector<uint8_t>& data) {
  return device_side::module_info_reply(from(a), module, data);
}

inline Message slot_status_reply(const DeviceAddress& a, uint8_t module, uint8_t slot,
                                 const std::vector<uint8_t>& data) {
  return device_side::slot_status_reply(from(a), module, slot, data);
}

inline Message status_reply(const DeviceAddress& a, uint8_t status) {
  return device_side::status_reply(from(a), status);
}

// 16 bytes of module info.
inline std::vector<uint8_t> module_data(uint32_t max_payload, uint32_t max_load, uint8_t slots) {
  return device_side::module_record(max_payload, max_load, slots);
}

// 32 bytes of an occupied slot: module, platform, api 1.01-0, ids, v1.00-0,
// name.
inline std::vector<uint8_t> slot_data(uint8_t module, const char* name) {
  std::vector<uint8_t> d(32, 0);
  d[0] = module;
  d[1] = 1;
  d[2] = 0x00, d[3] = 0x01, d[4] = 0x01;  // api 1.01-0
  d[6] = 0x44;                              // dev_id 0x44
  d[10] = 0x07;                             // prg_id 7
  d[16] = 0x01;                             // version 1.00-0
  for (size_t i = 0; name[i] && i < 13; ++i) d[18 + i] = static_cast<uint8_t>(name[i]);
  return d;
}

// A device behind a fake link: each request is answered at once, in the
// device's own bytes, and the replies wait in the link until taken. Time is
// the link's own and passes only while a wait finds nothing, so time-outs
// cost nothing.
class FakeDevice : public Link {
 public:
  uint8_t channel = 2;
  uint8_t family_low = 0x4B;
  uint8_t api_platform = 1;
  std::vector<std::vector<uint8_t>> modules;  // data per module, empty: no info
  std::vector<std::vector<std::vector<uint8_t>>> slots;  // data per module and slot
  // Changes what is answered: gets the request and the replies about to go.
  std::function<void(const Message&, std::vector<Message>&)> tamper;
  // What becomes of the link once this many requests have gone: gone from
  // then on, the send stalls, or an interruption comes.
  struct Fate {
    size_t after = SIZE_MAX;
    enum { gone, stalled, interrupted } what = gone;
  } fate;

  // The longest message the link carries, where it has a limit.
  std::optional<size_t> largest;

  std::vector<Message> requests;
  std::vector<Clock::time_point> sent_at;
  std::deque<Message> inbox;
  Clock::time_point clock{};

  FakeDevice() {
    modules = {module_data(0, 0, 0), module_data(16384, 24576, 2), module_data(0, 0, 0),
               module_data(0, 0, 0), module_data(32768, 49152, 1)};
    slots.assign(5, {});
    slots[1] = {slot_data(1, "chorus"), {}};
    slots[4] = {{}};
  }

  DeviceAddress address() const { return {channel, {0x00, 0x01, family_low}}; }

  std::vector<Message> answer(const Message& r) const {
    const DeviceAddress a = address();
    namespace ds = device_side;
    if (r.size() == ds::kSearchLength && r[2] == ds::kSearchGroup) {
      return {search_reply(channel, family_low, 1, 10)};
    }
    const uint8_t module = r[ds::kModuleAt];
    switch (r[ds::kFunctionAt]) {
      case ds::kFnApiVersion: return {api_reply(a, api_platform, 1, 1, 0)};
      case ds::kFnModuleInfo: return {module_info_reply(a, module, modules.at(module))};
      case ds::kFnSlotStatus: {
        const uint8_t slot = r[ds::kSlotAt];
        const auto& of_module = slots.at(module);
        return {slot_status_reply(a, module, slot,
                                  slot < of_module.size() ? of_module[slot] : std::vector<uint8_t>{})};
      }
      default: return {status_reply(a, ds::kStatusAcknowledge)};
    }
  }

  SendEnd send(const Message& request, const SendWatch& watch) override {
    requests.push_back(request);
    sent_at.push_back(clock);
    if (watch.progress) watch.progress(request.size());
    if (requests.size() > fate.after && fate.what == Fate::stalled) return SendEnd::stalled;
    std::vector<Message> replies = answer(request);
    if (tamper) tamper(request, replies);
    inbox.insert(inbox.end(), replies.begin(), replies.end());
    return SendEnd::sent;
  }
  std::optional<Message> receive(Clock::time_point until) override {
    if (inbox.empty() || interruption()) {
      clock = std::max(clock, until);
      return std::nullopt;
    }
    Message m = inbox.front();
    inbox.pop_front();
    return m;
  }
  bool present() override { return !(requests.size() > fate.after && fate.what == Fate::gone); }
  int interruption() override {
    return requests.size() > fate.after && fate.what == Fate::interrupted ? 2 : 0;
  }
  Clock::time_point now() override { return clock; }
  std::optional<size_t> largest_message() override { return largest; }
};

// Every call, as text, for tests that follow what the device tells.
struct RecordingNarrator : Narrator {
  std::vector<std::string> heard;
  static std::string hex(const Message& m) {
    std::string text;
    char byte[4];
    for (uint8_t b : m) {
      std::snprintf(byte, sizeof byte, "%02x ", b);
      text += byte;
    }
    if (!text.empty()) text.pop_back();
    return text;
  }
  void sent(const Message& m) override { heard.push_back(">> " + hex(m)); }
  void taken(const Message& m) override { heard.push_back("<< " + hex(m)); }
  void unrecognised_status(uint8_t s) override { heard.push_back("status " + std::to_string(s)); }
  void step(const HandshakeStep& s, const DeviceInfo&) override {
    heard.push_back("step " + std::to_string(s.kind) + " " + std::to_string(s.module) + " " +
                    std::to_string(s.slot) + (s.empty ? " empty" : ""));
  }
};

// A unit as the conversation carries it: `image` stands for the whole image
// (the conversation does not look inside), with the given CRC.
inline PreparedUnit unit_of(uint8_t module, std::vector<uint8_t> image, uint32_t crc) {
  PreparedUnit unit;
  unit.header.bytes[kHdrModule] = module;
  unit.image.bytes = std::move(image);
  unit.image.crc = crc;
  return unit;
}

// A device whose handshake has run, on a link that answers clears and loads
// with `status`.
struct Handshaken {
  RecordingNarrator narrator;
  FakeDevice* device;
  DeviceInterface interface;

  explicit Handshaken(std::unique_ptr<FakeDevice> fake = std::make_unique<FakeDevice>())
      : device(fake.get()), interface(std::move(fake), narrator) {
    if (!interface.handshake().ok()) throw std::runtime_error("handshake failed");
    device->requests.clear();
    narrator.heard.clear();
  }
};

}  // namespace quave::test
