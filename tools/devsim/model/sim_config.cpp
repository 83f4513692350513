#include "tools/devsim/model/sim_config.hpp"

#include "tools/devsim/device/replies.hpp"
#include "unit/models.hpp"

namespace devsim {

const char* kind_name(Kind k) {
  switch (k) {
    case Kind::search: return "search";
    case Kind::api_version: return "api";
    case Kind::module_info: return "module-info";
    case Kind::slot_status: return "slot-status";
    case Kind::slot_clear: return "slot-clear";
    case Kind::module_clear: return "module-clear";
    case Kind::load: return "load";
  }
  return "?";
}

std::array<ModuleConfig, kModules> default_modules() {
  std::array<ModuleConfig, kModules> m{};
  m[0] = {0, 0, 0, true};              // global: no unit slots
  m[1] = {8, 8192, 16384, true};       // modfx
  m[2] = {8, 12288, 24576, true};      // delfx
  m[3] = {8, 12288, 24576, true};      // revfx
  m[4] = {16, 12288, 24576, true};     // osc
  return m;
}

std::array<uint8_t, 3> model_id(const SimConfig& config) {
  return device_side::model_of(config.platform);
}

namespace {

std::string port_name(const SimConfig& config, const char* role) {
  return product_name(config) + " " + role;
}

}  // namespace

std::string product_name(const SimConfig& config) {
  std::string name = quave::platform_display_device(config.platform);
  if (!config.port_tag.empty()) name += " " + config.port_tag;
  return name;
}

std::string output_port_name(const SimConfig& config) { return port_name(config, "KBD/KNOB"); }
std::string input_port_name(const SimConfig& config) { return port_name(config, "SOUND"); }

}  // namespace devsim
