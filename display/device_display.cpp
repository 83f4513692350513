#include "display/device_display.hpp"

#include <cstdio>

#include "unit/identifiers.hpp"
#include "unit/unit_image.hpp"

namespace quave {

namespace {
unsigned limit99(unsigned v) { return v > 99 ? 99 : v; }
}  // namespace

std::string format_api_version(unsigned major, unsigned minor, unsigned patch) {
  char buf[12];
  std::snprintf(buf, sizeof buf, "%u.%02u-%u", limit99(major), limit99(minor), limit99(patch));
  return buf;
}

std::string format_system_version(unsigned major, unsigned minor) {
  char buf[12];
  if (limit99(major) == 0) {
    std::snprintf(buf, sizeof buf, "%u.%02ub", 0u, limit99(minor));
  } else {
    std::snprintf(buf, sizeof buf, "%u.%02u", limit99(major), limit99(minor));
  }
  return buf;
}

std::string format_packed_version(uint32_t packed) {
  return format_api_version((packed >> 16) & 0x7F, (packed >> 8) & 0x7F, packed & 0x7F);
}

std::string format_module_info(const ModuleInfo& info) {
  return "[ slot_count: " + std::to_string(info.slot_count()) +
         ", max_payload_size: " + std::to_string(info.max_payload_size()) +
         ", max_load_size: " + std::to_string(info.max_load_size()) + " ]";
}

std::string module_line(unsigned module, const ModuleInfo* info) {
  std::string line = module_display_name(module);
  if (!info) return line + ": no info.";
  return line + ": " + format_module_info(*info);
}

std::string slot_line(unsigned module, unsigned slot, const SlotStatus* status) {
  std::string line = std::string(module_display_name(module)) + " " + std::to_string(slot);
  if (!status) return line + ": free.";
  return line + ": " + unit_summary(status->bytes.data());
}

}  // namespace quave
