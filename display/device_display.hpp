// Text forms of module records and the per-module and per-slot lines of the
// verbose handshake.
#pragma once

#include <string>

#include "base/version_text.hpp"
#include "device/protocol/device_records.hpp"

namespace quave {

// "[ slot_count: N, max_payload_size: N, max_load_size: N ]"
std::string format_module_info(const ModuleInfo& info);

// "Oscillator: [ ... ]" or "Oscillator: no info."
std::string module_line(unsigned module, const ModuleInfo* info);
// "Delay FX 3: <summary>" or "Delay FX 3: free."
std::string slot_line(unsigned module, unsigned slot, const SlotStatus* status);

}  // namespace quave
