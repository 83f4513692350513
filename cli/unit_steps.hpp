// Reading and validating a unit package from its archive path, with the
// progress lines, warnings and errors that check and load both print.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "unit/manifest.hpp"
#include "unit/unit_image.hpp"

namespace quave {

struct PreparedUnit {
  UnitHeader header;
  UnitImage image;
  uint32_t image_size = 0;
};

// Reads the archive, parses the manifest and builds the unit image, writing
// "> Parsing ... unit archive", "> Parsing manifest", any warnings and
// "> Parsing unit binary payload" to standard output. On failure it has
// already written its error lines to standard error and returns nothing;
// the caller only has to return 1. Does not catch exceptions.
std::optional<PreparedUnit> prepare_unit_package(const std::string& path);

}  // namespace quave
