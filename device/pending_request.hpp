// What the command's thread and the MIDI input thread share about the one
// request outstanding: its kind and index, the reply flags, the device's
// error code, and the link's own faults.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

#include "device/device_records.hpp"

namespace quave {

constexpr uint32_t kFlagSearch = 0x1;
constexpr uint32_t kFlagApiVersion = 0x2;
constexpr uint32_t kFlagModulesDone = 0x4;
constexpr uint32_t kFlagSlotsDone = 0x8;
constexpr uint32_t kFlagClearAck = 0x10;
constexpr uint32_t kFlagLoadAck = 0x20;
constexpr uint32_t kFlagDeviceError = 0x80000000u;

constexpr uint32_t kOptionVerbose = 0x1;
constexpr uint32_t kOptionDebug = 0x2;

enum class WaitOutcome {
  received = 0,
  timed_out = 1,
  progressed = 2,
  device_error = 3,
  device_gone = 4,     // its port went away (unplugged, switched off)
  device_stalled = 5,  // it stopped reading what was sent
};

// What went wrong with the link itself while a request went out.
enum class LinkFault : uint32_t { none = 0, gone = 1, stalled = 2 };

// The verbose handshake's module and slot lines. The display layer supplies
// them, so that the link passes on device facts without formatting them.
struct Narration {
  std::string (*module_line)(unsigned module, const ModuleInfo* info) = nullptr;
  std::string (*slot_line)(unsigned module, unsigned slot, const SlotStatus* status) = nullptr;
};

// The fields the two threads share are atomic; each has one writer at a time.
struct PendingRequest {
  uint32_t options = 0;
  Narration narration;
  std::atomic<uint32_t> kind{0};
  std::atomic<uint32_t> index{0};
  std::atomic<uint32_t> flags{0};
  std::atomic<uint32_t> error_code{0};
  DeviceInfo* info = nullptr;
  // Written by the command's thread only.
  LinkFault link_fault = LinkFault::none;
  // Whether the device's port is still there; empty where nobody can tell.
  std::function<bool()> device_present;

  void clear_error() { flags.fetch_and(~kFlagDeviceError); }
  // kind, index and error_code to 0, error bit cleared.
  void reset() {
    kind = 0;
    index = 0;
    error_code = 0;
    clear_error();
  }
};

}  // namespace quave
