#include "display/probe_report.hpp"

#include <algorithm>

#include "display/identity_lines.hpp"
#include "display/device_display.hpp"
#include "unit/identifiers.hpp"
#include "unit/unit_image.hpp"

namespace quave {

std::string slot_entry_line(unsigned slot, const SlotStatus& status) {
  const std::string head = "[" + std::to_string(slot) + "]: ";
  if (status.is_free()) return head + "free.";
  return head + unit_summary(status.bytes.data());
}

std::string probe_report(const DeviceInfo& info, int32_t module_index) {
  std::string text;
  text += device_line(info.platform) + "\n" + system_version_line(info) + "\n" +
          api_version_line(info) + "\n";

  if (module_index < 0 || module_index >= kModuleCount) {
    text += "> Available modules:\n\n";
    for (unsigned m = 1; m < kModuleCount; ++m) {
      text += std::string(module_display_name(m)) + ": " +
              format_module_info(info.modules[m]) + "\n";
    }
    return text;
  }

  const unsigned m = static_cast<unsigned>(module_index);
  text += std::string("> ") + module_display_name(m) + " status:\n";
  const unsigned count = std::min<unsigned>(info.modules[m].slot_count(), kSlotsPerModule);
  for (unsigned s = 0; s < count; ++s) text += slot_entry_line(s, info.slots[m][s]) + "\n";
  return text;
}

}  // namespace quave
