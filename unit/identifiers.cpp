#include "unit/identifiers.hpp"

#include <cstring>
#include <iterator>

#include "unit/models.hpp"

namespace quave {

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

// The model whose `field` is `text`, exactly.
std::optional<PlatformId> model_by(const char* Model::*field, const std::string& text) {
  for (const Model& model : kModels) {
    if (text.size() == std::strlen(model.*field) && text == model.*field) return model.id;
  }
  return std::nullopt;
}

}  // namespace

std::optional<PlatformId> platform_from_name(const std::string& name) {
  return model_by(&Model::manifest_name, name);
}

std::optional<PlatformId> platform_from_extension(const std::string& ext) {
  return model_by(&Model::extension, ext);
}

std::optional<ModuleId> module_from_name(const std::string& name) {
  return find_exact(kModuleNames, name);
}

std::optional<uint8_t> param_type_index(const std::string& text) {
  return find_exact(kParamTypeIds, text);
}

const char* platform_display_archive(unsigned id) {
  const Model* model = model_of(id);
  return model ? model->display_name : "unknown";
}

const char* platform_display_device(unsigned id) {
  const Model* model = model_of(id);
  return model ? model->display_name : "Unknown/Invalid";
}

const char* module_display_name(unsigned id) { return entry_or_first(kModuleDisplayNames, id); }

const char* platform_name(unsigned id) {
  const Model* model = model_of(id);
  return model ? model->manifest_name : "";
}

}  // namespace quave
