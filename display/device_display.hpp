// Text forms of versions, module records and the per-module and per-slot
// lines of the verbose handshake.
#pragma once

#include <cstdint>
#include <string>

#include "device/device_records.hpp"

namespace quave {

// "%u.%02u-%u", each part limited to 99. Unit summaries use it too.
std::string format_api_version(unsigned major, unsigned minor, unsigned patch);
// "%u.%02u", or "0.%02ub" when the major part is 0; each part limited to 99.
std::string format_system_version(unsigned major, unsigned minor);
// The version text of a packed version (major bits 16-22, minor 8-14, patch 0-6).
std::string format_packed_version(uint32_t packed);
// "[ slot_count: N, max_payload_size: N, max_load_size: N ]"
std::string format_module_info(const ModuleInfo& info);

// "Oscillator: [ ... ]" or "Oscillator: no info."
std::string module_line(unsigned module, const ModuleInfo* info);
// "Delay FX 3: <summary>" or "Delay FX 3: free."
std::string slot_line(unsigned module, unsigned slot, const SlotStatus* status);

}  // namespace quave
