#include "unit/identifiers.hpp"

#include <cstring>

namespace quave {

const char* const kModuleNames[kModuleCount] = {"global", "modfx", "delfx", "revfx", "osc"};
const char* const kModuleDisplayNames[kModuleCount] = {"Global", "Modulation FX", "Delay FX",
                                                       "Reverb FX", "Oscillator"};
const char kModuleMagic[4 * kModuleCount + 1] = "UGLBUMODUDELUREVUOSC";
const char* const kParamTypeIds[2] = {"%", ""};

namespace {

template <size_t N>
std::optional<uint8_t> find_exact(const char* const (&table)[N], const std::string& text) {
  for (size_t i = 0; i < N; ++i) {
    // Compare lengths too, so an embedded zero byte cannot make a prefix match.
    if (text.size() == std::strlen(table[i]) && text == table[i]) return static_cast<uint8_t>(i);
  }
  return std::nullopt;
}

}  // namespace

std::optional<ModuleId> module_from_name(const std::string& name) {
  return find_exact(kModuleNames, name);
}

std::optional<uint8_t> param_type_index(const std::string& text) {
  return find_exact(kParamTypeIds, text);
}

const char* module_display_name(unsigned id) {
  return id < kModuleCount ? kModuleDisplayNames[id] : kModuleDisplayNames[0];
}

}  // namespace quave
