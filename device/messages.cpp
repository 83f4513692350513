#include "device/messages.hpp"

#include <boost/crc.hpp>
#include <cstdio>

#include "base/console.hpp"

namespace quave {

const std::array<uint8_t, 6> kSearchDeviceRequest = {0xF0, 0x42, 0x50, 0x00, 0x55, 0xF7};
const std::array<uint8_t, 8> kApiVersionRequest = {0xF0, 0x42, 0x30, 0x00,
                                                   0x00, 0x00, kFnApiVersionRequest, 0xF7};
const std::array<uint8_t, 9> kModuleInfoRequest = {0xF0, 0x42, 0x30, 0x00, 0x00,
                                                   0x00, kFnModuleInfoRequest, 0x00, 0xF7};
const std::array<uint8_t, 10> kSlotStatusRequest = {0xF0, 0x42, 0x30, 0x00, 0x00,
                                                    0x00, kFnSlotStatusRequest, 0x00, 0x00, 0xF7};
const std::array<uint8_t, 10> kSlotClearRequest = {0xF0, 0x42, 0x30, 0x00, 0x00,
                                                   0x00, kFnSlotClearRequest, 0x00, 0x00, 0xF7};
const std::array<uint8_t, 9> kModuleClearRequest = {0xF0, 0x42, 0x30, 0x00, 0x00,
                                                    0x00, kFnModuleClearRequest, 0x00, 0xF7};
const std::array<uint8_t, 9> kUnitLoadRequestHeader = {0xF0, 0x42, 0x30, 0x00, 0x00,
                                                       0x00, kFnUnitLoadRequest, 0x00, 0x00};

const std::array<uint8_t, 15> kSearchDeviceReply = {0xF0, 0x42, 0x50, 0x01, 0x00,
                                                    0x55, 0x00, 0x00, 0x00, 0x00,
                                                    0x00, 0x00, 0x00, 0x00, 0xF7};
const std::array<uint8_t, 12> kApiVersionReply = {0xF0, 0x42, 0x30, 0x00, 0x00, 0x00,
                                                  kFnApiVersionReply, 0x00, 0x00, 0x00, 0x00, 0xF7};
const std::array<uint8_t, 9> kModuleInfoReplyHeader = {0xF0, 0x42, 0x30, 0x00, 0x00,
                                                       0x00, kFnModuleInfoReply, 0x00, 0x00};
const std::array<uint8_t, 10> kSlotStatusReplyHeader = {0xF0, 0x42, 0x30, 0x00, 0x00,
                                                        0x00, kFnSlotStatusReply, 0x00, 0x00, 0x00};
const std::array<uint8_t, 8> kStatusReply = {0xF0, 0x42, 0x30, 0x00, 0x00, 0x00, 0x00, 0xF7};

uint8_t platform_from_family(uint8_t high, uint8_t low) {
  if (high != kFamilyHigh) return 0;
  for (uint8_t i = 0; i < 3; ++i) {
    if (kFamilyLow[i] == low) return static_cast<uint8_t>(i + 1);
  }
  return 0;
}

namespace {

template <size_t N>
Message from_template(const std::array<uint8_t, N>& t) {
  return Message(t.begin(), t.end());
}

void address(Message& m, const DeviceAddress& to, bool with_channel) {
  if (with_channel) m[2] = static_cast<uint8_t>(m[2] | (to.channel & 0x0F));
  m[3] = to.model_id[0];
  m[4] = to.model_id[1];
  m[5] = to.model_id[2];
}

// Bytes 0..5 of a device-header reply as they must read from this device.
bool device_header_matches(const Message& m, const DeviceAddress& from) {
  return m[0] == kSysexStart && m[1] == kManufacturer &&
         m[2] == (0x30 | (from.channel & 0x0F)) && m[3] == from.model_id[0] &&
         m[4] == from.model_id[1] && m[5] == from.model_id[2];
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
  m[7] = module;
  return m;
}

Message make_slot_status_request(const DeviceAddress& to, uint8_t module, uint8_t slot) {
  Message m = from_template(kSlotStatusRequest);
  address(m, to, true);
  m[7] = module;
  m[8] = slot;
  return m;
}

Message make_slot_clear_request(const DeviceAddress& to, uint8_t module, uint8_t slot) {
  Message m = from_template(kSlotClearRequest);
  address(m, to, false);
  m[7] = module;
  m[8] = slot;
  return m;
}

Message make_module_clear_request(const DeviceAddress& to, uint8_t module) {
  Message m = from_template(kModuleClearRequest);
  address(m, to, false);
  m[7] = module;
  return m;
}

Message make_unit_load_request(const DeviceAddress& to, uint8_t module, uint8_t slot,
                               const std::vector<uint8_t>& load_data) {
  Message m = from_template(kUnitLoadRequestHeader);
  address(m, to, false);
  m[7] = module;
  m[8] = slot;
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
  for (size_t i : {0, 1, 2, 3, 5, 14}) {
    if (m[i] != kSearchDeviceReply[i]) return false;
  }
  return platform_from_family(m[7], m[6]) != 0;
}

bool is_api_version_reply(const Message& m, const DeviceAddress& from) {
  return m.size() == kApiVersionReply.size() && device_header_matches(m, from) &&
         m[6] == kFnApiVersionReply && m[11] == kSysexEnd;
}

bool is_module_info_reply(const Message& m, const DeviceAddress& from) {
  return m.size() >= kModuleInfoReplyHeader.size() && device_header_matches(m, from) &&
         m[6] == kFnModuleInfoReply;
}

bool is_slot_status_reply(const Message& m, const DeviceAddress& from) {
  return m.size() >= kSlotStatusReplyHeader.size() && device_header_matches(m, from) &&
         m[6] == kFnSlotStatusReply;
}

bool is_status_reply(const Message& m, const DeviceAddress& from) {
  return m.size() >= kStatusReply.size() && device_header_matches(m, from);
}

StatusMeaning status_meaning(uint32_t kind, uint8_t status) {
  const bool load = kind == kUnitLoad;
  switch (status) {
    case kStatusAcknowledge: return {StatusMeaning::acknowledge, 0};
    case kStatusDeviceError1: return {StatusMeaning::error, kErrorDevice1};
    case kStatusDeviceError2: return {StatusMeaning::error, kErrorDevice2};
    // The five load refusals map in order onto codes 7 to 11.
    case kStatusTooLarge: case kStatusCrc: case kStatusInvalidTarget: case kStatusApiVersion:
    case kStatusCodeSize:
      if (load) return {StatusMeaning::error, uint32_t{status} - kStatusTooLarge + kErrorTooLarge};
      return {StatusMeaning::unrecognised, 0};
    case kStatusInvalidModule: return {StatusMeaning::error, kErrorInvalidModule};
    case kStatusInvalidSlot: return {StatusMeaning::error, kErrorInvalidSlot};
    case kStatusFormat: return {StatusMeaning::error, kErrorFormat};
    case kStatusInternal: return {StatusMeaning::error, kErrorInternal};
    default: return {StatusMeaning::unrecognised, 0};
  }
}

const char* error_message(uint32_t kind, uint32_t code) {
  switch (kind) {
    case kApiVersion:
      if (code == kErrorWrongPlatform) return "Got user api reply for wrong target platform.";
      break;
    case kModuleInfo:
      if (code == kErrorInvalidModule) return "Got module info with invalid module ID.";
      if (code == kErrorUndecodable) return "Could not decode module info data.";
      break;
    case kSlotStatus:
      if (code == kErrorInvalidModule) return "Got slot status with invalid module ID.";
      if (code == kErrorInvalidSlot) return "Got slot status with invalid slot ID.";
      if (code == kErrorUndecodable) return "Could not decode slot status data.";
      break;
    case kClear:
      if (code == kErrorInvalidModule) return "Invalid module ID.";
      if (code == kErrorInvalidSlot) return "Invalid slot ID.";
      if (code == kErrorFormat) return "Invalid command format.";
      if (code == kErrorInternal) return "Internal error.";
      break;
    case kUnitLoad:
      switch (code) {
        case kErrorInvalidModule: return "Referenced an invalid module.";
        case kErrorInvalidSlot: return "Referenced an invalid slot.";
        case kErrorTooLarge: return "Unit data too large.";
        case kErrorCrc: return "CRC verification failed.";
        case kErrorInvalidTarget: return "Invalid unit target.";
        case kErrorApiVersion: return "Incompatible API version.";
        case kErrorCodeSize: return "Loadable code size too large.";
        case kErrorFormat: return "Invalid unit data format.";
        case kErrorInternal: return "Internal error.";
        default: break;
      }
      break;
    default:
      break;
  }
  return "";
}

std::string device_error_line(uint32_t kind, uint32_t code) {
  const std::string text = error_message(kind, code);
  if (!text.empty()) return "Error: " + text;
  return "Error: Device reported error code " + std::to_string(code) + ".";
}

uint32_t crc32(const uint8_t* data, size_t size) {
  boost::crc_32_type crc;
  crc.process_bytes(data, size);
  return crc.checksum();
}

std::string dump_text(const std::string& prefix, const uint8_t* message, size_t length) {
  std::string line = prefix + "{ ";
  char buf[4];
  for (size_t i = 0; i < length; ++i) {
    std::snprintf(buf, sizeof buf, "%x", message[i]);
    if (i) line += ", ";
    line += buf;
  }
  line += " }";
  return line;
}

void dump_message(const std::string& prefix, const uint8_t* message, size_t length) {
  std::string line = dump_text(prefix, message, length);
  if (length) line += '\n';
  out_text(line);
}

}  // namespace quave
