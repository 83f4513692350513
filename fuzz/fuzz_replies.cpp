// The reply side of the device link: arbitrary messages handed to the reply
// dispatcher under each request kind; the records must stay inside their
// bounds and the pending index must stay a valid module/slot position.
//
// Input: byte 0 kind, byte 1 slot part of the index, byte 2 module part,
// byte 3 slot count given to every module, the rest is the message.
#include <cstdlib>

#include "device/engine.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 4) return 0;
  quave::DeviceInfo info;
  info.channel = 0;
  info.model_id = {0x00, 0x01, 0x4B};
  for (auto& m : info.modules) m.bytes[8] = data[3];

  quave::PendingRequest pending;
  pending.info = &info;
  pending.kind = data[0] % 9;
  const uint32_t module = data[2] % 5;
  const uint32_t slot = data[1] % 16;
  pending.index = pending.kind == quave::kSlotStatus ? module * 256 + slot
                  : pending.kind == quave::kModuleInfo ? module
                                                       : 0;
  const uint32_t index_before = pending.index;

  quave::Message message(data + 4, data + size);
  quave::dispatch_reply(pending, message);

  const uint32_t index = pending.index;
  if (pending.kind == quave::kModuleInfo && index > 4) std::abort();
  if (pending.kind == quave::kSlotStatus && index != index_before &&
      ((index >> 8) > 4 || (index & 0xFF) >= quave::kSlotsPerModule))
    std::abort();
  if ((pending.flags & quave::kFlagDeviceError) == 0 && pending.error_code != 0) std::abort();
  return 0;
}
