// Decoding the handshake's replies into DeviceInfo. These run on the MIDI
// input thread, on messages whose real-time bytes are already gone.
#pragma once

#include "device/messages.hpp"
#include "device/pending_request.hpp"

namespace quave {

// Channel, model id and system version of a recognised SearchDeviceReply.
void store_search_reply(DeviceInfo& info, const Message& reply);
// Platform and API version of a recognised ApiVersionReply.
void store_api_version_reply(DeviceInfo& info, const Message& reply);

// Recognise, check against the pending index, store, print the verbose line,
// then move the index on or set the step's flag; a mismatch sets the error
// bit with code 4 (module), 5 (slot) or 6 (undecodable data).
void handle_module_info_reply(PendingRequest& pending, const Message& reply);
void handle_slot_status_reply(PendingRequest& pending, const Message& reply);

// The slots that have records: a module may report more than 16.
inline unsigned recorded_slot_count(const ModuleInfo& module) {
  return module.slot_count() < kSlotsPerModule ? module.slot_count() : kSlotsPerModule;
}

}  // namespace quave
