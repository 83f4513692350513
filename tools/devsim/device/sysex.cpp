#include "tools/devsim/device/sysex.hpp"

namespace device_side {

std::optional<size_t> request_length(uint8_t fn) {
  switch (fn) {
    case kFnApiVersion: return 8;
    case kFnModuleInfo: return 9;
    case kFnSlotStatus: return 10;
    case kFnSlotClear: return 10;
    case kFnModuleClear: return 9;
    default: return std::nullopt;
  }
}

std::vector<uint8_t> pack7(const std::vector<uint8_t>& data) {
  std::vector<uint8_t> out;
  out.reserve(data.size() + (data.size() + 6) / 7);
  for (size_t group = 0; group < data.size(); group += 7) {
    const size_t lead = out.size();
    out.push_back(0);
    for (size_t i = 0; i < 7 && group + i < data.size(); ++i) {
      const uint8_t b = data[group + i];
      out[lead] |= static_cast<uint8_t>((b >> 7) << i);
      out.push_back(b & 0x7F);
    }
  }
  return out;
}

std::optional<std::vector<uint8_t>> unpack7(const Message& message, size_t at) {
  if (at > message.size()) return std::nullopt;
  size_t end = at;
  while (end < message.size() && message[end] != kEnd) ++end;
  std::vector<uint8_t> out;
  // Groups of eight: the lead byte, then up to seven whose top bits it holds.
  for (size_t group = at; group < end; group += 8) {
    const uint8_t lead = message[group];
    for (size_t i = 1; i < 8 && group + i < end; ++i) {
      const uint8_t top = ((lead >> (i - 1)) & 1) ? 0x80 : 0x00;
      out.push_back(static_cast<uint8_t>((message[group + i] & 0x7F) | top));
    }
  }
  return out;
}

uint32_t crc32(const uint8_t* data, size_t size) {
  uint32_t crc = 0xFFFFFFFFu;
  for (size_t i = 0; i < size; ++i) {
    crc ^= data[i];
    for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

}  // namespace device_side
