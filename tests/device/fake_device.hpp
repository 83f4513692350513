// Replies as a device would send them, and a device that answers through
// DeviceInterface::sender, so the transactions run without MIDI.
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "device/device_interface.hpp"
#include "device/messages.hpp"
#include "display/device_display.hpp"

namespace quave::test {

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
  const auto packed = pack_7bit(data);
  m.insert(m.end(), packed.begin(), packed.end());
  m.push_back(0xF7);
  return m;
}

inline Message slot_status_reply(const DeviceAddress& a, uint8_t module, uint8_t slot,
                                 const std::vector<uint8_t>& data) {
  Message m = device_header(a, 0x49);
  m.insert(m.end(), {module, slot, 0x00});
  const auto packed = pack_7bit(data);
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

// Answers each request from its own thread a moment later, as the MIDI
// input thread would; the handshake's progress is only seen by a wait that
// is already running.
class FakeDevice {
 public:
  uint8_t channel = 2;
  uint8_t family_low = 0x4B;
  uint8_t api_platform = 1;
  std::vector<std::vector<uint8_t>> modules;  // data per module, empty: no info
  std::vector<std::vector<std::vector<uint8_t>>> slots;  // data per module and slot
  // Changes what is answered: gets the request and the replies about to go.
  std::function<void(const Message&, std::vector<Message>&)> tamper;

  std::vector<Message> requests;  // written by the command's thread only

  FakeDevice() {
    modules = {module_data(0, 0, 0), module_data(16384, 24576, 2), module_data(0, 0, 0),
               module_data(0, 0, 0), module_data(32768, 49152, 1)};
    slots.assign(5, {});
    slots[1] = {slot_data(1, "chorus"), {}};
    slots[4] = {{}};
  }
  ~FakeDevice() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stopping_ = true;
    }
    wake_.notify_one();
    if (worker_.joinable()) worker_.join();
  }
  FakeDevice(const FakeDevice&) = delete;
  FakeDevice& operator=(const FakeDevice&) = delete;

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

  // Must come before the device's first request; the device must outlive
  // this fake.
  void attach(DeviceInterface& device) {
    device.state |= kStatePortsOpen;
    device.pending.narration = {module_line, slot_line};
    device.sender = [this](const Message& request) {
      requests.push_back(request);
      std::vector<Message> replies = answer(request);
      if (tamper) tamper(request, replies);
      {
        std::lock_guard<std::mutex> lock(mutex_);
        queue_.insert(queue_.end(), replies.begin(), replies.end());
      }
      wake_.notify_one();
    };
    worker_ = std::thread([this, &device] { run(device.pending); });
  }

 private:
  void run(PendingRequest& pending) {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
      wake_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
      if (queue_.empty()) return;
      Message reply = std::move(queue_.front());
      queue_.pop_front();
      lock.unlock();
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
      dispatch_reply(pending, reply);
      lock.lock();
    }
  }

  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<Message> queue_;
  bool stopping_ = false;
  std::thread worker_;
};

}  // namespace quave::test
