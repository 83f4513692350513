#include "tests/support/sim_units.hpp"

#include "base/bytes.hpp"
#include "device/protocol/messages.hpp"
#include "unit/unit_image.hpp"

namespace quave::test {

std::vector<uint8_t> test_unit_image(const TestUnit& unit) {
  std::vector<uint8_t> image(1024 + unit.payload_size + 132, 0);
  image[0] = unit.module;
  image[1] = unit.platform;
  put_le32(&image[2], static_cast<uint32_t>(unit.api_major) << 16 | unit.api_minor << 8);
  put_le32(&image[6], 0x80818283);  // top bits set: exercises the packing
  put_le32(&image[10], 7);
  put_le32(&image[14], 0x00010200);
  const char name[] = "test";
  for (size_t i = 0; i < 4; ++i) image[18 + i] = static_cast<uint8_t>(name[i]);
  for (uint32_t i = 0; i < unit.payload_size; ++i) image[1024 + i] = static_cast<uint8_t>(i);
  return image;
}

std::vector<uint8_t> load_data_for(const std::vector<uint8_t>& image, uint32_t crc_xor) {
  std::vector<uint8_t> data(8);
  put_le32(&data[0], static_cast<uint32_t>(image.size()));
  put_le32(&data[4], crc32(image.data(), image.size()) ^ crc_xor);
  data.insert(data.end(), image.begin(), image.end());
  return data;
}

std::vector<uint8_t> load_request(uint8_t module, uint8_t slot, const std::vector<uint8_t>& load_data,
                                  uint8_t family_low) {
  std::vector<uint8_t> request = {0xF0, 0x42, 0x30, 0x00, 0x01, family_low, 0x4A, module, slot};
  const std::vector<uint8_t> packed = pack_7bit(load_data);
  request.insert(request.end(), packed.begin(), packed.end());
  request.push_back(0xF7);
  return request;
}

}  // namespace quave::test
