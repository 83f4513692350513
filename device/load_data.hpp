// What a UnitLoadRequest carries: the image length and CRC-32, both
// little-endian, then the image itself.
#pragma once

#include <cstdint>
#include <vector>

namespace quave {

std::vector<uint8_t> make_load_data(const std::vector<uint8_t>& image, uint32_t crc);

}  // namespace quave
