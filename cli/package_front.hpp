// check and load read a unit package alike and print what reading it said.
#pragma once

#include <optional>
#include <string>

#include "unit/unit_steps.hpp"

namespace quave {

// prepare_unit_package, its report printed line by line on the streams it
// names, also when an exception ends the reading.
std::optional<PreparedUnit> read_unit(const std::string& path);

}  // namespace quave
