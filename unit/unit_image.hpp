// The unit image (header, payload, 132 zero bytes) and the one-line summary
// of a unit header or an occupied slot.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "unit/manifest.hpp"

namespace quave {

constexpr uint32_t kImageTrailerSize = 132;
constexpr uint32_t kImageOverhead = kUnitHeaderSize + kImageTrailerSize;  // 1156

struct UnitImage {
  std::vector<uint8_t> bytes;  // header, payload, trailer
  uint32_t crc = 0;            // CRC-32 of `bytes`, which the load carries
};

// Checks the header and the payload's magic word and joins them. On failure
// `diagnostics` is replaced by the message; on success it is left untouched.
std::optional<UnitImage> build_unit_image(const uint8_t* payload, const UnitHeader& header,
                                          uint32_t payload_size, std::string& diagnostics);

// CRC-32 (ISO-HDLC / IEEE 802.3), check value 0xCBF43926 over "123456789".
uint32_t crc32(const uint8_t* data, size_t size);

// A developer or unit id as the summary shows it: eight hex digits.
std::string format_unit_id(uint32_t id);

// The unit's name, up to its first zero byte, from a record in unit header
// layout.
std::string unit_name(const uint8_t* record);

// "\"name\" v1.00-0 api:1.01-0 did:00000000 uid:00000001" from the first 32
// bytes of a record in unit header layout.
std::string unit_summary(const uint8_t* record);
inline std::string unit_summary(const UnitHeader& header) {
  return unit_summary(header.bytes.data());
}

}  // namespace quave
