// Platform and module identifiers and the fixed name tables that translate
// them to and from text.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace quave {

using PlatformId = uint8_t;  // 0 unknown, 1 vestrel, 2 halvane rx, 3 orvalt tonal
using ModuleId = uint8_t;    // 0 global, 1 modfx, 2 delfx, 3 revfx, 4 osc

constexpr PlatformId kFirstPlatform = 1;
constexpr PlatformId kLastPlatform = 3;
constexpr ModuleId kModuleCount = 5;
constexpr ModuleId kModuleOsc = 4;

// One of the three models (0 is unknown).
constexpr bool is_known_platform(unsigned id) {
  return id >= kFirstPlatform && id <= kLastPlatform;
}

// The models' own names, extensions and ids are rows of kModels
// (unit/models.hpp).
extern const char* const kModuleNames[5];
extern const char* const kModuleDisplayNames[5];
// The magic words of modules 0..4, four bytes each, in one run.
extern const char kModuleMagic[21];
extern const char* const kParamTypeIds[2];

// Text to identifier: exact, case-sensitive; nothing when no entry matches.
std::optional<PlatformId> platform_from_name(const std::string& name);
std::optional<PlatformId> platform_from_extension(const std::string& ext);
std::optional<ModuleId> module_from_name(const std::string& name);
std::optional<uint8_t> param_type_index(const std::string& text);

// Identifier to text: a model's display name; for any other id "unknown"
// from an archive and "Unknown/Invalid" from a device. A module beyond the
// table yields entry 0.
const char* platform_display_archive(unsigned id);
const char* platform_display_device(unsigned id);
const char* module_display_name(unsigned id);
// Manifest name of a platform 1..3; the empty text for anything else.
const char* platform_name(unsigned id);

}  // namespace quave
