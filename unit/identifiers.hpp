// The module and parameter type names, and their translation to and from
// identifiers. The models' own names are rows of kModels (unit/models.hpp).
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "unit/models.hpp"

namespace quave {

extern const char* const kModuleNames[kModuleCount];
extern const char* const kModuleDisplayNames[kModuleCount];
// The magic words of modules 0..4, four bytes each, in one run.
extern const char kModuleMagic[4 * kModuleCount + 1];
extern const char* const kParamTypeIds[2];

// Text to identifier: exact, case-sensitive; nothing when no entry matches.
std::optional<ModuleId> module_from_name(const std::string& name);
std::optional<uint8_t> param_type_index(const std::string& text);

// A module's display name; a module beyond the table yields entry 0.
const char* module_display_name(unsigned id);

}  // namespace quave
