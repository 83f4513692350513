// The checks a device makes before it stores an uploaded unit.
#pragma once

#include <cstdint>
#include <vector>

#include "tools/devsim/model/sim_config.hpp"

namespace devsim {

// `load_data` is the unpacked data of a load request: 4-byte length, 4-byte
// CRC-32 (both little-endian), then the image. Returns the status byte to
// answer: kStatusAcknowledge when the unit may be stored in (module, slot).
uint8_t check_load(const SimConfig& config, uint8_t module, uint8_t slot,
                   const std::vector<uint8_t>& load_data);

}  // namespace devsim
