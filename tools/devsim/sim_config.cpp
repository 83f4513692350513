#include "tools/devsim/sim_config.hpp"

#include "device/protocol/messages.hpp"
#include "unit/identifiers.hpp"

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

// The device's own numbers, not the program's: 00, the family's high byte,
// its low byte by model.
std::array<uint8_t, 3> model_id(const SimConfig& config) {
  static constexpr uint8_t kFamilyLow[] = {0x4B, 0x51, 0x57};
  return {0x00, 0x01, kFamilyLow[config.platform - 1]};
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
