#include "cli/package_front.hpp"

#include "base/console.hpp"

namespace quave {

namespace {

void print(const PackageReport& report) {
  for (const PackageReport::Line& line : report.lines) {
    if (line.stream == PackageReport::Stream::out) {
      out_text(line.text);
    } else {
      err_text(line.text);
    }
  }
}

}  // namespace

std::optional<PreparedUnit> read_unit(const std::string& path) {
  PackageReport report;
  try {
    auto unit = prepare_unit_package(path, report);
    print(report);
    return unit;
  } catch (...) {
    print(report);
    throw;
  }
}

}  // namespace quave
