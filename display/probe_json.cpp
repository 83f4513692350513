#include "display/probe_json.hpp"

#include "base/bytes.hpp"
#include "base/version_text.hpp"
#include "unit/identifiers.hpp"
#include "unit/unit_image.hpp"

namespace quave {

namespace {

Json slot_json(unsigned slot, const SlotStatus& status) {
  Json entry = Json::object();
  entry.set("slot", Json::number(slot));
  entry.set("free", Json::boolean(status.is_free()));
  if (status.is_free()) return entry;
  const uint8_t* record = status.bytes.data();
  entry.set("name", Json::string(unit_name(record)));
  entry.set("version", Json::string(format_packed_version(get_le32(record + kHdrVersion))));
  entry.set("api", Json::string(format_packed_version(get_le32(record + kHdrApi))));
  entry.set("dev_id", Json::string(format_unit_id(get_le32(record + kHdrDevId))));
  entry.set("unit_id", Json::string(format_unit_id(get_le32(record + kHdrPrgId))));
  return entry;
}

Json module_json(const DeviceInfo& info, ModuleId m) {
  const ModuleInfo& module = info.modules[m];
  Json entry = Json::object();
  entry.set("module", Json::string(kModuleNames[m]));
  entry.set("name", Json::string(module_display_name(m)));
  entry.set("slot_count", Json::number(module.slot_count()));
  entry.set("max_payload_size", Json::number(module.max_payload_size()));
  entry.set("max_load_size", Json::number(module.max_load_size()));
  Json slots = Json::array();
  for (unsigned s = 0; s < module.recorded_slots(); ++s) slots.push(slot_json(s, info.slots[m][s]));
  entry.set("slots", std::move(slots));
  return entry;
}

}  // namespace

Json probe_json(const DeviceInfo& info, std::optional<ModuleId> module) {
  Json doc = Json::object();
  doc.set("device", Json::string(platform_display_device(info.platform)));
  doc.set("system_version",
          Json::string(format_system_version(info.system_major(), info.system_minor())));
  doc.set("api_version",
          Json::string(format_api_version(info.api_major(), info.api_minor(), info.api_patch())));
  Json modules = Json::array();
  for (ModuleId m = 0; m < kModuleCount; ++m) {
    if (!module || *module == m) modules.push(module_json(info, m));
  }
  doc.set("modules", std::move(modules));
  return doc;
}

}  // namespace quave
