// The reply side of the device link: an arbitrary inbound message handed to
// the reply dispatcher under each request kind, from the states the
// transactions set up. Afterwards only the record the pending request asked
// for may have changed, nothing is stored when the error bit is set, and the
// index moves only to a position that has a record.
//
// Input: byte 0 kind (low nibble, taken modulo 9) and options (bits 4, 5);
// byte 1 slot being asked (modulo 16); byte 2 module being asked (modulo 5);
// byte 3 slot count every module reports (may exceed 16); the rest is the
// message.
#include <cstdlib>

#include "device/engine.hpp"

namespace {

using namespace quave;

void check(bool condition) {
  if (!condition) std::abort();
}

bool same(const DeviceInfo& a, const DeviceInfo& b) {
  return a.channel == b.channel && a.platform == b.platform && a.model_id == b.model_id &&
         a.system_version == b.system_version && a.api_version == b.api_version &&
         [&] {
           for (size_t m = 0; m < a.modules.size(); ++m) {
             if (a.modules[m].bytes != b.modules[m].bytes) return false;
             for (size_t s = 0; s < kSlotsPerModule; ++s) {
               if (a.slots[m][s].bytes != b.slots[m][s].bytes) return false;
             }
           }
           return true;
         }();
}

// Every record starts with a pattern, so that a write shows wherever it lands.
DeviceInfo initial_info(uint8_t slot_count) {
  DeviceInfo info;
  info.model_id = {0x00, 0x01, 0x4B};
  info.system_version = {0xA5, 0xA5, 0xA5, 0xA5};
  info.api_version = {0xA5, 0xA5, 0xA5};
  for (auto& m : info.modules) {
    m.bytes.fill(0xA5);
    m.bytes[8] = slot_count;
  }
  for (auto& module : info.slots) {
    for (auto& slot : module) slot.bytes.fill(0xA5);
  }
  return info;
}

// What the dispatcher may have changed for `kind`, copied from `after` into
// `expected`.
void allow_changes(DeviceInfo& expected, const DeviceInfo& after, uint32_t kind, uint32_t index) {
  switch (kind) {
    case kSearchDevice:
      expected.channel = after.channel;
      expected.model_id = after.model_id;
      expected.system_version = after.system_version;
      break;
    case kApiVersion:
      expected.platform = after.platform;
      expected.api_version = after.api_version;
      break;
    case kModuleInfo:
      expected.modules[index] = after.modules[index];
      break;
    case kSlotStatus:
      expected.slots[index >> 8][index & 0xFF] = after.slots[index >> 8][index & 0xFF];
      break;
    default:
      break;
  }
}

// The flags a reply under `kind` may set besides the error bit.
uint32_t kind_flag(uint32_t kind) {
  switch (kind) {
    case kSearchDevice: return kFlagSearch;
    case kApiVersion: return kFlagApiVersion;
    case kModuleInfo: return kFlagModulesDone;
    case kSlotStatus: return kFlagSlotsDone;
    case kClear: return kFlagClearAck;
    case kUnitLoad: return kFlagLoadAck;
    default: return 0;
  }
}

void check_index(uint32_t kind, uint32_t before, uint32_t after, uint32_t flags,
                 unsigned slot_count) {
  if (after == before) return;
  check(!(flags & kFlagDeviceError));
  if (kind == kModuleInfo) {
    check(after == before + 1 && after <= 4);
    return;
  }
  check(kind == kSlotStatus);
  const uint32_t m = after >> 8, s = after & 0xFF;
  check(m <= 4 && s < kSlotsPerModule);
  const bool next_slot = m == (before >> 8) && s == (before & 0xFF) + 1 && s < slot_count;
  const bool next_module = m == (before >> 8) + 1 && s == 0;
  check(next_slot || next_module);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 4) return 0;
  const uint32_t kind = (data[0] & 0x0F) % 9;
  const uint32_t module = data[2] % 5;
  const uint32_t slot = data[1] % kSlotsPerModule;
  const uint8_t slot_count = data[3];

  DeviceInfo info = initial_info(slot_count);
  const DeviceInfo before = info;
  PendingRequest pending;
  pending.options = (data[0] >> 4) & (kOptionVerbose | kOptionDebug);
  pending.info = &info;
  pending.kind = kind;
  // The states the handshake's walk can be in: it asks only slots that have
  // a record.
  if (kind == kSlotStatus && slot >= std::min<unsigned>(slot_count, kSlotsPerModule)) return 0;
  const uint32_t index = kind == kSlotStatus ? module * 256 + slot : kind == kModuleInfo ? module : 0;
  pending.index = index;

  const Message original(data + 4, data + size);
  Message message = original;
  dispatch_reply(pending, message);

  const uint32_t flags = pending.flags;
  check((flags & ~(kFlagDeviceError | kind_flag(kind))) == 0);
  check(pending.kind == kind);
  check(pending.error_code <= 13);
  check((flags & kFlagDeviceError) || pending.error_code == 0);
  check_index(kind, index, pending.index, flags,
              std::min<unsigned>(slot_count, kSlotsPerModule));
  if (kind == kSlotStatus && (flags & kFlagSlotsDone)) check(module == 4);
  if (kind == kModuleInfo && (flags & kFlagModulesDone)) check(module == 4);
  if (kind == kSearchDevice && (flags & kFlagSearch)) check(info.channel <= 7);
  if (kind == kApiVersion && (flags & kFlagApiVersion)) check(info.platform >= 1 && info.platform <= 3);

  DeviceInfo expected = before;
  if (!(flags & kFlagDeviceError)) allow_changes(expected, info, kind, index);
  check(same(expected, info));

  // Once the error bit is up nothing more is taken in.
  if (flags & kFlagDeviceError) {
    const uint32_t code = pending.error_code, index_now = pending.index;
    Message again = original;
    dispatch_reply(pending, again);
    check(pending.flags == flags && pending.error_code == code && pending.index == index_now);
    check(same(expected, info));
  }
  return 0;
}
