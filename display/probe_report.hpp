// The report probe writes after a successful handshake.
#pragma once

#include <cstdint>
#include <string>

#include "device/device_records.hpp"

namespace quave {

// Device, system version, API version, then either the four unit modules
// (module_index -1) or the slots of one module. Every line ends with '\n'.
std::string probe_report(const DeviceInfo& info, int32_t module_index);

// "[3]: free." or "[3]: <unit summary>".
std::string slot_entry_line(unsigned slot, const SlotStatus& status);

}  // namespace quave
