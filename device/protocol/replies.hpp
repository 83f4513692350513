// What an inbound message says to the request under way. Each decoder
// recognises the reply its request waits for, checks it against what was
// asked and keeps its facts in DeviceInfo; any other message is not an
// answer and changes nothing. Messages come with their real-time bytes
// already removed.
#pragma once

#include <cstdint>

#include "device/protocol/device_records.hpp"
#include "device/protocol/messages.hpp"

namespace quave {

// What one message says to the request under way; many may come before
// the answer. The conversation turns the answer into an Outcome.
struct Answer {
  enum Kind {
    none,          // not an answer to this request
    reply,         // the reply, its facts kept
    error,         // the device's error, or a reply that does not fit: `code`
    unrecognised,  // a StatusReply whose status byte means nothing here
  } kind = none;
  uint32_t code = 0;
  // The message is this request's and shows in a debug dump. A reply for
  // another module or slot, or from the wrong platform, does not.
  bool taken = false;
  // The reply carried no data: a module without info, a free slot.
  bool empty = false;
};

// Channel, model id, the model it names and the system version.
Answer answer_search(const Message& m, DeviceInfo& info);
// The API version; a platform byte outside 1..3 is kErrorWrongPlatform.
Answer answer_api_version(const Message& m, DeviceInfo& info);
// The ModuleInfo of `module`.
Answer answer_module_info(const Message& m, DeviceInfo& info, unsigned module);
// The SlotStatus of `slot` of `module`; a slot beyond the module's records
// (16, whatever it reports) is kErrorInvalidSlot.
Answer answer_slot_status(const Message& m, DeviceInfo& info, unsigned module, unsigned slot);
// A StatusReply to a clear or a unit load (`kind` picks the status column).
Answer answer_status(const Message& m, const DeviceAddress& from, RequestKind kind);

}  // namespace quave
