// What a device reads of a load before it stores the unit: the transfer's
// length and CRC, then the unit header's target.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace device_side {

// The unit image: a 1024-byte header, the code, a 132-byte trailer.
constexpr size_t kUnitHeaderSize = 1024;
constexpr size_t kImageOverhead = kUnitHeaderSize + 132;
// Where the header says what it is for.
constexpr size_t kUnitModuleAt = 0;    // low seven bits
constexpr size_t kUnitPlatformAt = 1;
constexpr size_t kUnitApiAt = 2;       // patch, minor, major, 0
// The slot record: the header's first 32 bytes.
constexpr size_t kSlotRecordSize = 32;

// `load_data` is a load's unpacked data: 4-byte length, 4-byte CRC-32 (both
// little-endian), then the image. kStatusFormat when the length field is
// missing or differs from the image's, kStatusCrc when the CRC differs,
// kStatusAcknowledge otherwise.
uint8_t check_transfer(const std::vector<uint8_t>& load_data);
constexpr size_t kImageAt = 8;

struct UnitTarget {
  uint8_t module = 0;
  uint8_t platform = 0;
  uint8_t api_major = 0;
  uint8_t api_minor = 0;
};
// Nothing when the image is shorter than header and trailer.
std::optional<UnitTarget> read_unit_header(const uint8_t* image, size_t size);

}  // namespace device_side
