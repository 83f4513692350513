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

namespace quave::test {

// The device's own 7-bit packing, written apart from the program's so that
// the two cannot agree on a wrong encoding: each group of up to seven bytes
// behind a byte that holds their top bits, the first byte's in bit 0.
inline std::vector<uint8_t> pack7(const std::vector<uint8_t>& data) {
  std::vector<uint8_t> out;
  for (size_t at = 0; at < data.size(); at += 7) {
    const size_t lead = out.size();
    out.push_back(0);
    for (size_t i = at; i < data.size() && i < at + 7; ++i) {
      if (data[i] & 0x80) out[lead] |= static_cast<uint8_t>(1u << (i - at));
      out.push_back(data[i] & 0x7F);
    }
  }
  return out;
}

inline Message search_reply(uint8_t channel_byte, uint8_t family_low, uint8_t sys_major,
                            uint8_t sys_minor) {
  return {0xF0, 0x42, 0x50, 0x01, channel_byte, 0x55, family_low, 0x01,
          0x00, 0x00, sys_major, 0x00, sys_minor, 0x00, 0xF7};
}

inline Message device_header(const DeviceAddress& a, uint8_t byte6) {
  return {0xF0, 0x42, static_cast<uint8_t>(0x30 | a.channel), a.model_id[0], a.model_id[1],
          a.model_id[2], byte6};
}

inline Message api_reply(const DeviceAddress& a, uint8_t platform, uint8_t major, uint8_t minor,
                         uint8_t patch) {
  Message m = device_header(a, 0x47);
  m.insert(m.end(), {platform, major, minor, patch, 0xF7});
  return m;
}

inline Message module_info_reply(const DeviceAddress& a, uint8_t module,
                                 const std::vector<uint8_t>& data) {
  Message m = device_header(a, 0x48);
  m.insert(m.end(), {module, 0x00});
  const auto packed = pack7(data);
  m.insert(m.end(), packed.begin(), packed.end());
  m.push_back(0xF7);
  return m;
}

inline Message slot_status_reply(const DeviceAddress& a, uint8_t module, uint8_t slot,
                                 const std::vector<uint8_t>& data) {
  Message m = device_header(a, 0x49);
  m.insert(m.end(), {module, slot, 0x00});
  const auto packed = pack7(data);
  m.insert(m.end(), packed.begin(), packed.end());
  m.push_back(0xF7);
  return m;
}

inline Message status_reply(const DeviceAddress& a, uint8_t status) {
  Message m = device_header(a, status);
  m.push_back(0xF7);
  return m;
}

// 16 bytes of module info.
inline std::vector<uint8_t> module_data(uint32_t max_payload, uint32_t max_load, uint8_t slots) {
  std::vector<uint8_t> d(16, 0);
  for (int i = 0; i < 4; ++i) {
    d[i] = static_cast<uint8_t>(max_payload >> (8 * i));
    d[4 + i] = static_cast<uint8_t>(max_load >> (8 * i));
  }
  d[8] = slots;
  return d;
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
    if (r.size() == 6 && r[2] == 0x50) return {search_reply(channel, family_low, 1, 10)};
    switch (r[6]) {
      case 0x17: return {api_reply(a, api_platform, 1, 1, 0)};
      case 0x18: return {module_info_reply(a, r[7], modules.at(r[7]))};
      case 0x19: {
        const auto& of_module = slots.at(r[7]);
        return {slot_status_reply(a, r[7], r[8],
                                  r[8] < of_module.size() ? of_module[r[8]]
                                                          : std::vector<uint8_t>{})};
      }
      default: return {status_reply(a, 0x23)};
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
