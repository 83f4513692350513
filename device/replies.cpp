#include "device/replies.hpp"

#include <algorithm>

#include "unit/identifiers.hpp"

namespace quave {

namespace {

Answer reply(bool empty = false) { return {Answer::reply, 0, true, empty}; }
Answer error(uint32_t code, bool taken) { return {Answer::error, code, taken, false}; }

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
  std::copy_n(m.begin() + kSearchReplyVersionAt, info.system_version.size(),
              info.system_version.begin());
  return reply();
}

Answer answer_api_version(const Message& m, DeviceInfo& info) {
  if (!is_api_version_reply(m, info.address())) return {};
  const uint8_t platform = m[kApiPlatformAt] & 0x7F;
  if (!is_known_platform(platform)) return error(kErrorWrongPlatform, false);
  info.platform = platform;
  info.api_version = {m[kApiPatchAt], m[kApiMinorAt], m[kApiMajorAt]};
  return reply();
}

Answer answer_module_info(const Message& m, DeviceInfo& info, unsigned module) {
  if (!is_module_info_reply(m, info.address())) return {};
  if ((m[kModuleAt] & 0x7Fu) != module || module >= kModuleCount) {
    return error(kErrorInvalidModule, false);
  }
  const auto data = unpack_7bit(m, kModuleInfoDataAt);
  if (!data) return error(kErrorUndecodable, true);
  // No data leaves the record as it was: all zero, no slots.
  if (!data->empty()) fill_record(info.modules[module].bytes, *data);
  return reply(data->empty());
}

Answer answer_slot_status(const Message& m, DeviceInfo& info, unsigned module, unsigned slot) {
  if (!is_slot_status_reply(m, info.address())) return {};
  if ((m[kModuleAt] & 0x7Fu) != module || module >= kModuleCount) {
    return error(kErrorInvalidModule, false);
  }
  if ((m[kSlotAt] & 0x7Fu) != slot || slot >= recorded_slot_count(info.modules[module])) {
    return error(kErrorInvalidSlot, false);
  }
  const auto data = unpack_7bit(m, kSlotStatusDataAt);
  if (!data) return error(kErrorUndecodable, true);
  fill_record(info.slots[module][slot].bytes, *data);
  return reply(data->empty());
}

Answer answer_status(const Message& m, const DeviceAddress& from, RequestKind kind) {
  if (!is_status_reply(m, from)) return {};
  const StatusMeaning meaning = status_meaning(kind, m[kFunctionAt]);
  switch (meaning.type) {
    case StatusMeaning::acknowledge: return reply();
    case StatusMeaning::error: return error(meaning.code, true);
    case StatusMeaning::unrecognised: break;
  }
  return {Answer::unrecognised, 0, true, false};
}

}  // namespace quave
