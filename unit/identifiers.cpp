#include "unit/identifiers.hpp"

#include <cstring>
#include <iterator>

namespace quave {

const char* const kPlatformNames[3] = {"vestrel", "halvane-rx", "orvalt-tonal"};
const char* const kUnitExtensions[3] = {"vstlunit", "hlvnrxunit", "orvtonunit"};
const char* const kPlatformDisplayArchive[4] = {"unknown", "vestrel", "halvane rx",
                                                "orvalt tonal"};
const char* const kPlatformDisplayDevice[4] = {"Unknown/Invalid", "vestrel", "halvane rx",
                                               "orvalt tonal"};
const char* const kModuleNames[5] = {"global", "modfx", "delfx", "revfx", "osc"};
const char* const kModuleDisplayNames[5] = {"Global", "Modulation FX", "Delay FX",
                                            "Reverb FX", "Oscillator"};
const char kModuleMagic[21] = "UGLBUMODUDELUREVUOSC";
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

template <size_t N>
const char* entry_or_first(const char* const (&table)[N], unsigned id) {
  return id < N ? table[id] : table[0];
}

}  // namespace

std::optional<PlatformId> platform_from_name(const std::string& name) {
  auto i = find_exact(kPlatformNames, name);
  if (!i) return std::nullopt;
  return static_cast<PlatformId>(*i + 1);
}

std::optional<PlatformId> platform_from_extension(const std::string& ext) {
  auto i = find_exact(kUnitExtensions, ext);
  if (!i) return std::nullopt;
  return static_cast<PlatformId>(*i + 1);
}

std::optional<ModuleId> module_from_name(const std::string& name) {
  return find_exact(kModuleNames, name);
}

std::optional<uint8_t> param_type_index(const std::string& text) {
  return find_exact(kParamTypeIds, text);
}

const char* platform_display_archive(unsigned id) {
  return entry_or_first(kPlatformDisplayArchive, id);
}

const char* platform_display_device(unsigned id) {
  return entry_or_first(kPlatformDisplayDevice, id);
}

const char* module_display_name(unsigned id) { return entry_or_first(kModuleDisplayNames, id); }

const char* platform_name(unsigned id) {
  return is_known_platform(id) ? kPlatformNames[id - 1] : "";
}

}  // namespace quave
