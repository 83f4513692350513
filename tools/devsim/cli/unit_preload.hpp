// Preloading a slot from a unit package, read and validated the way the
// program reads it before a load.
#pragma once

#include <string>

#include "tools/devsim/model/sim_config.hpp"

namespace devsim {

// "SLOT:PATH": the unit goes into slot SLOT of the module its manifest names.
// Throws std::invalid_argument when the package is not valid, is for another
// platform, or the slot does not exist. The package reader's progress lines
// are shown only when `verbose`; its error lines always go to standard error.
Preload preload_from_package(const std::string& value, const SimConfig& config, bool verbose);

}  // namespace devsim
