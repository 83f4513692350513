// Reading and validating a unit package from its archive path, with the
// progress lines, warnings and errors that check and load both print.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "unit/manifest.hpp"
#include "unit/unit_image.hpp"
#include "unit/unit_package.hpp"

namespace quave {

struct PreparedUnit {
  UnitHeader header;
  UnitImage image;
};

// Reads the archive, parses the manifest and builds the unit image,
// reporting "> Parsing ... unit archive", "> Parsing manifest", any warnings
// and "> Parsing unit binary payload", or the error lines and then nothing.
// Does not catch exceptions; what was reported until then stays reported.
std::optional<PreparedUnit> prepare_unit_package(const std::string& path, PackageReport& report);

}  // namespace quave
