// The report probe writes after a successful handshake.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "device/protocol/device_records.hpp"

namespace quave {

// Device, system version, API version, then either the four unit modules
// or the slots of `module`. Every line ends with '\n'.
std::string probe_report(const DeviceInfo& info, std::optional<ModuleId> module);

// "[3]: free." or "[3]: <unit summary>".
std::string slot_entry_line(unsigned slot, const SlotStatus& status);

}  // namespace quave
