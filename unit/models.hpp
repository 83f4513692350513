// The three synthesizer models, a row each, and the identifiers that name a
// model and a module: everything the program knows of a model is read from
// here. It needs nothing else of ours, so that the protocol reads it too.
#pragma once

#include <cstdint>
#include <cstring>
#include <optional>
#include <string>

namespace quave {

using PlatformId = uint8_t;  // 0 unknown, 1 vestrel, 2 halvane rx, 3 orvalt tonal
using ModuleId = uint8_t;    // 0 global, 1 modfx, 2 delfx, 3 revfx, 4 osc

constexpr PlatformId kFirstPlatform = 1;
constexpr PlatformId kLastPlatform = 3;
// Every model has the same five modules (their names: unit/identifiers.hpp).
constexpr ModuleId kModuleCount = 5;
constexpr ModuleId kModuleOsc = 4;

// One of the three models (0 is unknown).
constexpr bool is_known_platform(unsigned id) {
  return id >= kFirstPlatform && id <= kLastPlatform;
}

struct Model {
  PlatformId id;
  const char* manifest_name;  // a manifest's "platform"
  const char* extension;      // a unit package's file name's
  const char* display_name;   // as the program shows an archive or a device of it
  // A search reply names the model by its family id: kFamilyHigh, then this.
  uint8_t family_low;
  // How its MIDI ports' names begin (POSIX extended), in the order they are
  // searched; unused entries are null.
  const char* port_names[2];
};

constexpr uint8_t kFamilyHigh = 0x01;

inline constexpr Model kModels[] = {
    {1, "vestrel", "vstlunit", "vestrel", 0x4B, {"vestrel", "vest.dev"}},
    {2, "halvane-rx", "hlvnrxunit", "halvane rx", 0x51, {"halvane[ -]rx", nullptr}},
    {3, "orvalt-tonal", "orvtonunit", "orvalt tonal", 0x57, {"orvalt[ -]tonal", nullptr}},
};
static_assert(sizeof(kModels) / sizeof(kModels[0]) == kLastPlatform - kFirstPlatform + 1);

// The row of a PlatformId; nothing for 0 or an id beyond the three.
inline const Model* model_of(unsigned id) {
  return is_known_platform(id) ? &kModels[id - kFirstPlatform] : nullptr;
}

// The model whose `field` is `text`, exactly and case-sensitively; an
// embedded zero byte cannot make a prefix match.
inline std::optional<PlatformId> model_by(const char* Model::*field, const std::string& text) {
  for (const Model& model : kModels) {
    if (text.size() == std::strlen(model.*field) && text == model.*field) return model.id;
  }
  return std::nullopt;
}

inline std::optional<PlatformId> platform_from_name(const std::string& name) {
  return model_by(&Model::manifest_name, name);
}
inline std::optional<PlatformId> platform_from_extension(const std::string& ext) {
  return model_by(&Model::extension, ext);
}

// A model's display name; for any other id "unknown" from an archive and
// "Unknown/Invalid" from a device.
inline const char* platform_display_archive(unsigned id) {
  const Model* model = model_of(id);
  return model ? model->display_name : "unknown";
}
inline const char* platform_display_device(unsigned id) {
  const Model* model = model_of(id);
  return model ? model->display_name : "Unknown/Invalid";
}

// Manifest name of a platform 1..3; the empty text for anything else.
inline const char* platform_name(unsigned id) {
  const Model* model = model_of(id);
  return model ? model->manifest_name : "";
}

}  // namespace quave
