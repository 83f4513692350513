#include "device/protocol/replies.hpp"

#include <algorithm>

namespace quave {

namespace {

Answer reply(bool empty = false) { return {Answer::reply, 0, true, empty}; }
Answer error(uint32_t code, bool taken) { return {Answer::error, code, taken, false}; }

// A reply's module byte: seven bits of it.
unsigned module_of(const Message& m) { return m[kModuleAt] & 0x7Fu; }

// Copies up to N bytes of `data` into `record`, zero-filling the rest.
template <size_t N>
void fill_record(std::array<uint8_t, N>& record, const std::vector<uint8_t>& data) {
  record.fill(0);
  std::copy_n(data.begin(), std::min(data.size(), N), record.begin());
}

}  // namespace

Answer answer_search(const Message& m, DeviceInfo& info) {
  if (!is_search_device_reply(m)) return {};
  info.channel = m[kSearchReplyChannelAt] & 0x07;
  info.model_id = {0x00, m[kSearchReplyFamilyHighAt], m[kSearchReplyFamilyLowAt]};
  info.platform = platform_from_family(m[kSearchReplyFamilyHighAt], m[kSearchReplyFamilyLowAt]);
  std::copy_n(m.begin() + kSearchReplyVersionAt, info.system_version.size(),
              info.system_version.begin());
  return reply();
}

Answer answer_api_version(const Message& m, DeviceInfo& info) {
  if (!is_api_version_reply(m, info.address())) return {};
  if (!is_known_platform(m[kApiPlatformAt] & 0x7F)) return error(kErrorWrongPlatform, false);
  info.api_version = {m[kApiPatchAt], m[kApiMinorAt], m[kApiMajorAt]};
  return reply();
}

Answer answer_module_info(const Message& m, DeviceInfo& info, unsigned module) {
  if (!is_module_info_reply(m, info.address())) return {};
  if (module_of(m) != module || module >= kModuleCount) return error(kErrorInvalidModule, false);
  const auto data = unpack_7bit(m, kModuleInfoDataAt);
  if (!data) return error(kErrorUndecodable, true);
  // No data leaves the record as it was: all zero, no slots.
  if (!data->empty()) fill_record(info.modules[module].bytes, *data);
  return reply(data->empty());
}

Answer answer_slot_status(const Message& m, DeviceInfo& info, unsigned module, unsigned slot) {
  if (!is_slot_status_reply(m, info.address())) return {};
  if (module_of(m) != module || module >= kModuleCount) return error(kErrorInvalidModule, false);
  if ((m[kSlotAt] & 0x7Fu) != slot || slot >= info.modules[module].recorded_slots()) {
    return error(kErrorInvalidSlot, false);
  }
  const auto data = unpack_7bit(m, kSlotStatusDataAt);
  if (!data) return error(kErrorUndecodable, true);
  fill_record(info.slots[module][slot].bytes, *data);
  return reply(data->empty());
}

Answer answer_status(const Message& m, const DeviceAddress& from, RequestKind kind) {
  if (!is_status_reply(m, from)) return {};
  const bool load = kind == kUnitLoad;
  switch (const uint8_t status = m[kFunctionAt]) {
    case kStatusAcknowledge: return reply();
    case kStatusDeviceError1: return error(kErrorDevice1, true);
    case kStatusDeviceError2: return error(kErrorDevice2, true);
    // The five load refusals map in order onto codes 7 to 11.
    case kStatusTooLarge: case kStatusCrc: case kStatusInvalidTarget: case kStatusApiVersion:
    case kStatusCodeSize:
      if (load) return error(uint32_t{status} - kStatusTooLarge + kErrorTooLarge, true);
      break;
    case kStatusInvalidModule: return error(kErrorInvalidModule, true);
    case kStatusInvalidSlot: return error(kErrorInvalidSlot, true);
    case kStatusFormat: return error(kErrorFormat, true);
    case kStatusInternal: return error(kErrorInternal, true);
    default: break;
  }
  return {Answer::unrecognised, 0, true, false};
}

}  // namespace quave
