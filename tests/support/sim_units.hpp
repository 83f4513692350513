// Unit images and load data built by hand, for feeding the simulator
// without going through a unit package.
#pragma once

#include <cstdint>
#include <vector>

namespace quave::test {

struct TestUnit {
  uint8_t module = 4;    // osc
  uint8_t platform = 1;  // vestrel
  uint8_t api_major = 1, api_minor = 1;
  uint32_t payload_size = 64;
};

// Header (module, platform, api, ids, version, name "test"), a payload of
// counting bytes and 132 zero bytes.
std::vector<uint8_t> test_unit_image(const TestUnit& unit);

// The data a load request carries: length and CRC-32 (little-endian), then
// the image. `crc_xor` spoils the checksum when not zero.
std::vector<uint8_t> load_data_for(const std::vector<uint8_t>& image, uint32_t crc_xor = 0);

// A whole load request for a vestrel-family device on channel 0.
std::vector<uint8_t> load_request(uint8_t module, uint8_t slot, const std::vector<uint8_t>& load_data,
                                  uint8_t family_low = 0x4B);

}  // namespace quave::test
