// The three lines that say which device answered, without their line ends:
// the verbose handshake prints each as it learns it, probe's report prints
// all three.
#pragma once

#include <cstdint>
#include <string>

#include "device/protocol/device_records.hpp"

namespace quave {

// "> Device: vestrel"
std::string device_line(uint8_t platform);
// "> System version: 1.10"
std::string system_version_line(const DeviceInfo& info);
// "> Quave API version: 1.01-0"
std::string api_version_line(const DeviceInfo& info);

}  // namespace quave
