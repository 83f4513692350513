#include "tools/devsim/cli/unit_preload.hpp"

#include <algorithm>
#include <cstdio>
#include <stdexcept>

#include "unit/unit_steps.hpp"
#include "tools/devsim/cli/option_values.hpp"
#include "unit/models.hpp"

namespace devsim {

Preload preload_from_package(const std::string& value, const SimConfig& config, bool verbose) {
  const size_t colon = value.find(':');
  if (colon == std::string::npos) {
    throw std::invalid_argument("unit preload must read SLOT:PATH ('" + value + "')");
  }
  const std::string path = value.substr(colon + 1);
  quave::PackageReport report;
  const std::optional<quave::PreparedUnit> unit = quave::prepare_unit_package(path, report);
  // Errors always show; the progress lines only with --verbose.
  for (const quave::PackageReport::Line& line : report.lines) {
    if (verbose || line.stream == quave::PackageReport::Stream::err) {
      std::fputs(line.text.c_str(), line.stream == quave::PackageReport::Stream::err ? stderr : stdout);
    }
  }
  if (!unit) throw std::invalid_argument("cannot preload the unit package " + path);

  const auto& header = unit->header.bytes;
  Preload p;
  p.module = header[0] & 0x7F;
  if (header[1] != config.platform) {
    throw std::invalid_argument(path + " is a " + quave::platform_display_device(header[1]) +
                                " unit, the simulator plays " +
                                quave::platform_display_device(config.platform));
  }
  const uint8_t slots = config.modules[p.module].slot_count;
  if (slots == 0) throw std::invalid_argument(path + ": its module has no slots here");
  p.slot = static_cast<uint8_t>(parse_number(value.substr(0, colon), 0, slots - 1u, "preload slot"));
  std::copy_n(header.begin(), device_side::kSlotRecordSize, p.record.begin());
  return p;
}

}  // namespace devsim
