// Reading a unit archive: the platform from its file name, and the manifest
// and payload entries inflated into memory.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "unit/models.hpp"

namespace quave {

// Matching entries declaring more than this are refused before any buffer is
// allocated.
constexpr uint64_t kMaxEntrySize = 16u * 1024 * 1024;
// Every matching entry is inflated, so the caps above bound each one, not the
// work: a hundred directory records all pointing at one 16 MiB stream took
// seconds. The entries read from one package together declare at most this.
constexpr uint64_t kMaxPackageSize = 2 * kMaxEntrySize;

// What reading and validating a package has to say, in the order it says it:
// progress and warnings for standard output, errors for standard error. The
// command prints it; the simulator, preloading a unit, need not.
struct PackageReport {
  enum class Stream { out, err };
  struct Line {
    Stream stream;
    std::string text;  // with its line ends
  };
  std::vector<Line> lines;

  void out(std::string text) { lines.push_back({Stream::out, std::move(text)}); }
  void err(std::string text) { lines.push_back({Stream::err, std::move(text)}); }
  // Everything said on one stream, joined.
  std::string text(Stream stream) const;
};

struct UnitPackage {
  PlatformId platform = 0;
  std::vector<char> manifest_text;  // entry bytes and a terminating zero byte
  std::vector<uint8_t> payload;
  uint32_t payload_size = 0;
};

PlatformId platform_from_path(const std::string& path);

// Reports the "> Parsing ... unit archive" line, then either returns the
// package or reports its error line and returns nothing.
std::optional<UnitPackage> read_unit_package(const std::string& path, PackageReport& report);

}  // namespace quave
