#include "display/identity_lines.hpp"

#include "base/version_text.hpp"
#include "unit/models.hpp"

namespace quave {

std::string device_line(uint8_t platform) {
  return std::string("> Device: ") + platform_display_device(platform);
}

std::string system_version_line(const DeviceInfo& info) {
  return "> System version: " + format_system_version(info.system_major(), info.system_minor());
}

std::string api_version_line(const DeviceInfo& info) {
  return "> Quave API version: " +
         format_api_version(info.api_major(), info.api_minor(), info.api_patch());
}

}  // namespace quave
