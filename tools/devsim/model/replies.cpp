#include "tools/devsim/model/replies.hpp"

namespace devsim {

device_side::Address address_of(const SimConfig& config) {
  return {config.channel, model_id(config)};
}

Message search_reply(const SimConfig& config, uint8_t echo) {
  return device_side::search_reply(address_of(config), echo, config.system_major,
                                   config.system_minor);
}

Message api_version_reply(const SimConfig& config) {
  return device_side::api_version_reply(address_of(config),
                                        config.api_platform.value_or(config.platform),
                                        config.api_major, config.api_minor, config.api_patch);
}

Message module_info_reply(const SimConfig& config, uint8_t module,
                          const std::vector<uint8_t>& info) {
  return device_side::module_info_reply(address_of(config), module, info);
}

Message slot_status_reply(const SimConfig& config, uint8_t module, uint8_t slot,
                          const std::vector<uint8_t>& record) {
  return device_side::slot_status_reply(address_of(config), module, slot, record);
}

Message status_reply(const SimConfig& config, uint8_t status) {
  return device_side::status_reply(address_of(config), status);
}

std::vector<uint8_t> module_info_record(const ModuleConfig& module) {
  return device_side::module_record(module.max_payload_size, module.max_load_size,
                                    module.slot_count);
}

}  // namespace devsim
