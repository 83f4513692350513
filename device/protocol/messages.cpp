#include "device/protocol/messages.hpp"

#include <algorithm>

#include "base/bytes.hpp"
#include "unit/models.hpp"

namespace quave {

namespace {

// A device-header message of N bytes: the header with `function`, zeros,
// and the end byte when `ended`.
template <size_t N>
constexpr std::array<uint8_t, N> device_message(uint8_t function, bool ended = true) {
  std::array<uint8_t, N> m{};
  m[0] = kSysexStart;
  m[1] = kManufacturer;
  m[kChannelAt] = kDeviceGroup;
  m[kFunctionAt] = function;
  if (ended) m[N - 1] = kSysexEnd;
  return m;
}

}  // namespace

const std::array<uint8_t, 6> kSearchDeviceRequest = {kSysexStart, kManufacturer, kSearchGroup,
                                                     kSearchRequestCode, kSearchEcho, kSysexEnd};
const std::array<uint8_t, 8> kApiVersionRequest = device_message<8>(kFnApiVersionRequest);
const std::array<uint8_t, 9> kModuleInfoRequest = device_message<9>(kFnModuleInfoRequest);
const std::array<uint8_t, 10> kSlotStatusRequest = device_message<10>(kFnSlotStatusRequest);
const std::array<uint8_t, 10> kSlotClearRequest = device_message<10>(kFnSlotClearRequest);
const std::array<uint8_t, 9> kModuleClearRequest = device_message<9>(kFnModuleClearRequest);
const std::array<uint8_t, 9> kUnitLoadRequestHeader = device_message<9>(kFnUnitLoadRequest, false);

const std::array<uint8_t, 15> kSearchDeviceReply = {
    kSysexStart, kManufacturer, kSearchGroup, kSearchReplyCode, 0x00, kSearchEcho, 0x00, 0x00,
    0x00,        0x00,          0x00,         0x00,             0x00, 0x00,        kSysexEnd};
const std::array<uint8_t, 12> kApiVersionReply = device_message<12>(kFnApiVersionReply);
const std::array<uint8_t, 9> kModuleInfoReplyHeader = device_message<9>(kFnModuleInfoReply, false);
const std::array<uint8_t, 10> kSlotStatusReplyHeader =
    device_message<10>(kFnSlotStatusReply, false);
const std::array<uint8_t, 8> kStatusReply = device_message<8>(0x00);

uint8_t platform_from_family(uint8_t high, uint8_t low) {
  if (high != kFamilyHigh) return 0;
  for (const Model& model : kModels) {
    if (model.family_low == low) return model.id;
  }
  return 0;
}

namespace {

template <size_t N>
Message from_template(const std::array<uint8_t, N>& t) {
  return Message(t.begin(), t.end());
}

void address(Message& m, const DeviceAddress& to, bool with_channel) {
  if (with_channel) m[kChannelAt] = static_cast<uint8_t>(m[kChannelAt] | (to.channel & 0x0F));
  std::copy(to.model_id.begin(), to.model_id.end(), m.begin() + kModelIdAt);
}

// Bytes 0..5 of a device-header reply as they must read from this device.
bool device_header_matches(const Message& m, const DeviceAddress& from) {
  return m[0] == kSysexStart && m[1] == kManufacturer &&
         m[kChannelAt] == (kDeviceGroup | (from.channel & 0x0F)) &&
         std::equal(from.model_id.begin(), from.model_id.end(), m.begin() + kModelIdAt);
}

}  // namespace

Message make_search_device_request() { return from_template(kSearchDeviceRequest); }

Message make_api_version_request(const DeviceAddress& to) {
  Message m = from_template(kApiVersionRequest);
  address(m, to, true);
  return m;
}

Message make_module_info_request(const DeviceAddress& to, uint8_t module) {
  Message m = from_template(kModuleInfoRequest);
  address(m, to, true);
  m[kModuleAt] = module;
  return m;
}

Message make_slot_status_request(const DeviceAddress& to, uint8_t module, uint8_t slot) {
  Message m = from_template(kSlotStatusRequest);
  address(m, to, true);
  m[kModuleAt] = module;
  m[kSlotAt] = slot;
  return m;
}

Message make_slot_clear_request(const DeviceAddress& to, uint8_t module, uint8_t slot) {
  Message m = from_template(kSlotClearRequest);
  address(m, to, false);
  m[kModuleAt] = module;
  m[kSlotAt] = slot;
  return m;
}

Message make_module_clear_request(const DeviceAddress& to, uint8_t module) {
  Message m = from_template(kModuleClearRequest);
  address(m, to, false);
  m[kModuleAt] = module;
  return m;
}

Message make_unit_load_request(const DeviceAddress& to, uint8_t module, uint8_t slot,
                               const std::vector<uint8_t>& image, uint32_t crc) {
  Message m = from_template(kUnitLoadRequestHeader);
  address(m, to, false);
  m[kModuleAt] = module;
  m[kSlotAt] = slot;
  std::vector<uint8_t> load_data(8 + image.size());
  put_le32(&load_data[0], static_cast<uint32_t>(image.size()));
  put_le32(&load_data[4], crc);
  std::copy(image.begin(), image.end(), load_data.begin() + 8);
  const std::vector<uint8_t> packed = pack_7bit(load_data);
  m.reserve(m.size() + packed.size() + 1);
  m.insert(m.end(), packed.begin(), packed.end());
  m.push_back(kSysexEnd);
  return m;
}

std::vector<uint8_t> pack_7bit(const uint8_t* data, size_t size) {
  std::vector<uint8_t> out;
  out.reserve(size + (size + 6) / 7);
  for (size_t group = 0; group < size; group += 7) {
    const size_t n = std::min<size_t>(7, size - group);
    uint8_t lead = 0;
    for (size_t i = 0; i < n; ++i) lead = static_cast<uint8_t>(lead | ((data[group + i] >> 7) << i));
    out.push_back(lead);
    for (size_t i = 0; i < n; ++i) out.push_back(data[group + i] & 0x7F);
  }
  return out;
}

std::optional<std::vector<uint8_t>> unpack_7bit(const uint8_t* message, size_t length,
                                                size_t start) {
  if (start > length) return std::nullopt;
  std::vector<uint8_t> out;
  uint8_t lead = 0;
  unsigned position = 0;  // 0: next byte is a leading byte; 1..7: data byte index + 1
  for (size_t i = start; i < length && message[i] != kSysexEnd; ++i) {
    if (position == 0) {
      lead = message[i];
      position = 1;
      continue;
    }
    const uint8_t top = static_cast<uint8_t>(((lead >> (position - 1)) & 1) << 7);
    out.push_back(static_cast<uint8_t>((message[i] & 0x7F) | top));
    position = position == 7 ? 0 : position + 1;
  }
  return out;
}

size_t strip_realtime_bytes(Message& message) {
  size_t kept = 0;
  for (uint8_t b : message) {
    if (b < 0xF8) message[kept++] = b;
  }
  message.resize(kept);
  return kept;
}

bool is_search_device_reply(const Message& m) {
  if (m.size() != kSearchDeviceReply.size()) return false;
  // The channel byte and the unused ones are not compared.
  for (size_t i : {size_t{0}, size_t{1}, size_t{2}, size_t{3}, kSearchReplyEchoAt, m.size() - 1}) {
    if (m[i] != kSearchDeviceReply[i]) return false;
  }
  return platform_from_family(m[kSearchReplyFamilyHighAt], m[kSearchReplyFamilyLowAt]) != 0;
}

bool is_api_version_reply(const Message& m, const DeviceAddress& from) {
  return m.size() == kApiVersionReply.size() && device_header_matches(m, from) &&
         m[kFunctionAt] == kFnApiVersionReply && m.back() == kSysexEnd;
}

bool is_module_info_reply(const Message& m, const DeviceAddress& from) {
  return m.size() >= kModuleInfoReplyHeader.size() && device_header_matches(m, from) &&
         m[kFunctionAt] == kFnModuleInfoReply;
}

bool is_slot_status_reply(const Message& m, const DeviceAddress& from) {
  return m.size() >= kSlotStatusReplyHeader.size() && device_header_matches(m, from) &&
         m[kFunctionAt] == kFnSlotStatusReply;
}

bool is_status_reply(const Message& m, const DeviceAddress& from) {
  return m.size() >= kStatusReply.size() && device_header_matches(m, from);
}

}  // namespace quave
