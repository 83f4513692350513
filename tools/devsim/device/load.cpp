#include "tools/devsim/device/load.hpp"

#include "base/bytes.hpp"
#include "tools/devsim/device/sysex.hpp"

namespace device_side {

uint8_t check_transfer(const std::vector<uint8_t>& load_data) {
  if (load_data.size() < kImageAt) return kStatusFormat;
  const size_t image_size = load_data.size() - kImageAt;
  if (quave::get_le32(&load_data[0]) != image_size) return kStatusFormat;
  if (quave::get_le32(&load_data[4]) != crc32(load_data.data() + kImageAt, image_size)) {
    return kStatusCrc;
  }
  return kStatusAcknowledge;
}

std::optional<UnitTarget> read_unit_header(const uint8_t* image, size_t size) {
  if (size < kImageOverhead) return std::nullopt;
  UnitTarget t;
  t.module = image[kUnitModuleAt] & 0x7F;
  t.platform = image[kUnitPlatformAt];
  t.api_minor = image[kUnitApiAt + 1];
  t.api_major = image[kUnitApiAt + 2];
  return t;
}

}  // namespace device_side
