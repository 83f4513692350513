#include "display/probe_report.hpp"

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

std::string probe_report(const DeviceInfo& info, std::optional<ModuleId> module) {
  std::string text;
  text += device_line(info.platform) + "\n" + system_version_line(info) + "\n" +
          api_version_line(info) + "\n";

  if (!module) {
    text += "> Available modules:\n\n";
    for (unsigned m = 1; m < kModuleCount; ++m) {
      text += std::string(module_display_name(m)) + ": " +
              format_module_info(info.modules[m]) + "\n";
    }
    return text;
  }

  const ModuleId m = *module;
  text += std::string("> ") + module_display_name(m) + " status:\n";
  for (unsigned s = 0; s < info.modules[m].recorded_slots(); ++s) {
    text += slot_entry_line(s, info.slots[m][s]) + "\n";
  }
  return text;
}

}  // namespace quave
