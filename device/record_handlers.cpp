#include "device/record_handlers.hpp"

#include <algorithm>

#include "base/console.hpp"
#include "unit/identifiers.hpp"

namespace quave {

void store_search_reply(DeviceInfo& info, const Message& reply) {
  info.channel = reply[4] & 0x07;
  info.model_id = {0x00, reply[7], reply[6]};
  std::copy(reply.begin() + 10, reply.begin() + 14, info.system_version.begin());
}

void store_api_version_reply(DeviceInfo& info, const Message& reply) {
  info.platform = reply[7] & 0x7F;
  info.api_version = {reply[10], reply[9], reply[8]};
}

namespace {

void fail(PendingRequest& pending, uint32_t code) {
  // The code first, so that whoever sees the bit sees the code too.
  pending.error_code = code;
  pending.flags |= kFlagDeviceError;
}

// Copies up to `size` bytes of `data` into `record`, zero-filling the rest.
template <size_t N>
void fill_record(std::array<uint8_t, N>& record, const std::vector<uint8_t>& data) {
  record.fill(0);
  std::copy_n(data.begin(), std::min(data.size(), N), record.begin());
}

void narrate_module(const PendingRequest& pending, unsigned module, const ModuleInfo* info) {
  if ((pending.options & kOptionVerbose) && pending.narration.module_line) {
    out_line(pending.narration.module_line(module, info));
  }
}

}  // namespace

void handle_module_info_reply(PendingRequest& pending, const Message& reply) {
  DeviceInfo& info = *pending.info;
  if (!is_module_info_reply(reply, info.address())) return;
  // A repeat of the last reply would rewrite a record the command's thread
  // may already be reading.
  if (pending.flags & kFlagModulesDone) return;

  const uint32_t m = reply[7] & 0x7F;
  if (m >= kModuleCount || m != (pending.index & 0x7F)) return fail(pending, kErrorInvalidModule);
  if (pending.options & kOptionDebug) dump_message("<<< ", reply.data(), reply.size());

  const auto data = unpack_7bit(reply, kModuleInfoReplyHeader.size());
  if (!data) return fail(pending, kErrorUndecodable);
  if (!data->empty()) {
    fill_record(info.modules[m].bytes, *data);
    narrate_module(pending, m, &info.modules[m]);
  } else {
    narrate_module(pending, m, nullptr);
  }

  if (m + 1 < kModuleCount) {
    pending.index = m + 1;
  } else {
    pending.flags |= kFlagModulesDone;
  }
}

void handle_slot_status_reply(PendingRequest& pending, const Message& reply) {
  DeviceInfo& info = *pending.info;
  if (!is_slot_status_reply(reply, info.address())) return;
  if (pending.flags & kFlagSlotsDone) return;

  const uint32_t index = pending.index;
  const uint32_t m = reply[7] & 0x7F;
  const uint32_t s = reply[8] & 0x7F;
  if (m >= kModuleCount || m != (index >> 8)) return fail(pending, kErrorInvalidModule);
  const unsigned count = recorded_slot_count(info.modules[m]);
  if (s != (index & 0xFF) || s >= count) return fail(pending, kErrorInvalidSlot);
  if (pending.options & kOptionDebug) dump_message("<<< ", reply.data(), reply.size());

  const auto data = unpack_7bit(reply, kSlotStatusReplyHeader.size());
  if (!data) return fail(pending, kErrorUndecodable);
  SlotStatus& slot = info.slots[m][s];
  fill_record(slot.bytes, *data);
  if ((pending.options & kOptionVerbose) && pending.narration.slot_line) {
    out_line(pending.narration.slot_line(m, s, data->empty() ? nullptr : &slot));
  }

  pending.error_code = 0;
  if (s + 1 < count) {
    pending.index = m * 256 + s + 1;
  } else if (m + 1 < kModuleCount) {
    pending.index = (m + 1) * 256;
  } else {
    pending.flags |= kFlagSlotsDone;
  }
}

}  // namespace quave
