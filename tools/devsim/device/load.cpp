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

namespace {

void put_version(uint8_t* at, const std::array<uint8_t, 3>& v) {
  at[0] = v[2];
  at[1] = v[1];
  at[2] = v[0];
  at[3] = 0;
}

}  // namespace

SlotRecord slot_record(const StoredUnit& unit) {
  SlotRecord r{};
  r[kUnitModuleAt] = unit.module;
  r[kUnitPlatformAt] = unit.platform;
  put_version(&r[kUnitApiAt], unit.api);
  quave::put_le32(&r[kUnitDeveloperAt], unit.developer);
  quave::put_le32(&r[kUnitIdAt], unit.unit_id);
  put_version(&r[kUnitVersionAt], unit.version);
  for (size_t i = 0; i < unit.name.size() && i < kUnitNameMax; ++i) {
    r[kUnitNameAt + i] = static_cast<uint8_t>(unit.name[i]);
  }
  return r;
}

}  // namespace device_side
