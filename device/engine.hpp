// The request/reply engine: one pending request per interface, replies
// dispatched on the MIDI input thread, the command's thread polling in 10 ms
// turns.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

#include "device/device_records.hpp"
#include "device/messages.hpp"

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

// Examines one inbound message according to the pending kind; fills `info`
// through the record handlers, moves flags/index/error_code on, prints dumps,
// the unrecognised-status warning and the verbose module and slot lines.
void dispatch_reply(PendingRequest& pending, Message& message);

// Polls every 10 ms (flushing stdout and stderr each turn) until a bit of
// `flag_mask` or the error bit is set, `index` moves, `timeout_ms` runs out,
// or the device's port goes away (asked every 100 ms). A link fault left by
// the send ends it at once.
// `index` is compared with its value on entry; the handshake passes the index
// it asked for instead, since a quick reply can move it before the wait starts.
WaitOutcome wait_for_reply(PendingRequest& pending, uint32_t flag_mask, uint32_t timeout_ms);
WaitOutcome wait_for_reply(PendingRequest& pending, uint32_t flag_mask, uint32_t timeout_ms,
                           uint32_t asked_index);

// Sleeps until 10 ms past the current system time.
void pause_10ms();
// One turn of a command's polling: pause_10ms, then Interrupted if SIGINT or
// SIGTERM came in the meantime.
void polling_turn();

// Writes dump_text(prefix, message) and a line end (none for an empty message)
// on standard output in one piece.
void dump_message(const std::string& prefix, const uint8_t* message, size_t length);

}  // namespace quave
