// Reading a unit archive: the platform from its file name, and the manifest
// and payload entries inflated into memory.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "unit/identifiers.hpp"

namespace quave {

// Matching entries declaring more than this are refused before any buffer is
// allocated.
constexpr uint64_t kMaxEntrySize = 16u * 1024 * 1024;

struct UnitPackage {
  PlatformId platform = 0;
  std::vector<char> manifest_text;  // entry bytes and a terminating zero byte
  std::vector<uint8_t> payload;
  uint32_t payload_size = 0;
};

PlatformId platform_from_path(const std::string& path);

// Writes the "> Parsing ... unit archive" line, then either returns the
// package or writes its error line to standard error and returns nothing.
std::optional<UnitPackage> read_unit_package(const std::string& path);

}  // namespace quave
