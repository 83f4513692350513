// Probe's report as one JSON document, for scripts.
#pragma once

#include <optional>

#include "base/json.hpp"
#include "device/protocol/device_records.hpp"

namespace quave {

// The device, its system and API versions, and each module (only `module`,
// when given) with its limits and every slot it has a record of: free, or
// the unit's name, version, API, developer id and unit id as the text
// report prints them.
Json probe_json(const DeviceInfo& info, std::optional<ModuleId> module);

}  // namespace quave
