#include "base/version_text.hpp"

#include <cstdio>

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

}  // namespace quave
