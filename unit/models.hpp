// The three synthesizer models, a row each: everything the program knows of
// a model is read from here.
#pragma once

#include <cstdint>

#include "unit/identifiers.hpp"

namespace quave {

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

}  // namespace quave
