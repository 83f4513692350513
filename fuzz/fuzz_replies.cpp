// The reply side of the device link: an arbitrary inbound message judged as
// the answer to each request, in the states the handshake and the
// transactions ask from. Afterwards only the record that was asked for may
// have changed, nothing is kept from a reply that does not fit, and the
// answer's kind and code are ones the conversation knows.
//
// Input: byte 0 request kind (low nibble, taken modulo 7); byte 1 slot being
// asked (modulo 16); byte 2 module being asked (modulo 5); byte 3 slot count
// every module reports (may exceed 16); the rest is the message.
#include <algorithm>
#include <cstdlib>

#include "device/protocol/replies.hpp"

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
void allow_changes(DeviceInfo& expected, const DeviceInfo& after, RequestKind kind, uint32_t index) {
  switch (kind) {
    case kSearchDevice:
      expected.platform = after.platform;
      expected.channel = after.channel;
      expected.model_id = after.model_id;
      expected.system_version = after.system_version;
      break;
    case kApiVersion:
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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 4) return 0;
  const auto kind = static_cast<RequestKind>((data[0] & 0x0F) % 7);
  const uint32_t module = data[2] % 5;
  const uint32_t slot = data[1] % kSlotsPerModule;
  const uint8_t slot_count = data[3];

  DeviceInfo info = initial_info(slot_count);
  const DeviceInfo before = info;
  // The handshake asks only slots that have a record.
  if (kind == kSlotStatus && slot >= std::min<unsigned>(slot_count, kSlotsPerModule)) return 0;
  const uint32_t index = kind == kSlotStatus ? module * 256 + slot : kind == kModuleInfo ? module : 0;

  Message message(data + 4, data + size);
  strip_realtime_bytes(message);
  for (uint8_t b : message) check(b < 0xF8);
  Answer answer;
  switch (kind) {
    case kSearchDevice: answer = answer_search(message, info); break;
    case kApiVersion: answer = answer_api_version(message, info); break;
    case kModuleInfo: answer = answer_module_info(message, info, module); break;
    case kSlotStatus: answer = answer_slot_status(message, info, module, slot); break;
    case kClear: case kUnitLoad: answer = answer_status(message, info.address(), kind); break;
    case kIdle: return 0;
  }

  check(answer.code <= 13);
  check((answer.kind == Answer::error) == (answer.code != 0));
  check(answer.kind != Answer::unrecognised || kind == kClear || kind == kUnitLoad);
  check(answer.kind != Answer::none || !answer.taken);
  if (kind == kSearchDevice && answer.kind == Answer::reply) {
    check(info.channel <= 7);
    check(info.platform >= 1 && info.platform <= 3);
  }

  DeviceInfo expected = before;
  if (answer.kind == Answer::reply) allow_changes(expected, info, kind, index);
  check(same(expected, info));
  return 0;
}
