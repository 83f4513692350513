// What a device reads of a load before it stores the unit: the transfer's
// length and CRC, then the unit header's target.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace device_side {

// The unit image: a 1024-byte header, the code, a 132-byte trailer.
constexpr size_t kUnitHeaderSize = 1024;
constexpr size_t kImageOverhead = kUnitHeaderSize + 132;
// Where the header says what it is for.
constexpr size_t kUnitModuleAt = 0;    // low seven bits
constexpr size_t kUnitPlatformAt = 1;
constexpr size_t kUnitApiAt = 2;       // patch, minor, major, 0
constexpr size_t kUnitDeveloperAt = 6;
constexpr size_t kUnitIdAt = 10;
constexpr size_t kUnitVersionAt = 14;  // patch, minor, major, 0
constexpr size_t kUnitNameAt = 18;     // up to 13 characters, then zeros
constexpr size_t kUnitNameMax = 13;
// The slot record: the header's first 32 bytes.
constexpr size_t kSlotRecordSize = 32;
using SlotRecord = std::array<uint8_t, kSlotRecordSize>;

// What a stored unit's header says of it, as a slot status reply shows it.
struct StoredUnit {
  uint8_t module = 0;
  uint8_t platform = 0;
  std::array<uint8_t, 3> api{};  // major, minor, patch
  uint32_t developer = 0;
  uint32_t unit_id = 0;
  std::array<uint8_t, 3> version{};  // major, minor, patch
  std::string name;                  // cut at kUnitNameMax
};
SlotRecord slot_record(const StoredUnit& unit);

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
