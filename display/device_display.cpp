#include "display/device_display.hpp"

#include "unit/identifiers.hpp"
#include "unit/unit_image.hpp"

namespace quave {

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
