// The text forms of versions, shared by unit summaries and device reports.
#pragma once

#include <cstdint>
#include <string>

namespace quave {

// "%u.%02u-%u", each part limited to 99: API and unit versions, and the
// program's own.
std::string format_api_version(unsigned major, unsigned minor, unsigned patch);
// "%u.%02u", or "0.%02ub" when the major part is 0; each part limited to 99.
std::string format_system_version(unsigned major, unsigned minor);
// The version text of a packed version (major bits 16-22, minor 8-14, patch 0-6).
std::string format_packed_version(uint32_t packed);

}  // namespace quave
