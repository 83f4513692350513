#include "tools/devsim/replies.hpp"

#include "base/bytes.hpp"

namespace devsim {

namespace {

template <size_t N>
Message device_header(const SimConfig& config, const std::array<uint8_t, N>& tmpl) {
  Message m(tmpl.begin(), tmpl.end());
  const auto id = model_id(config);
  m[2] = static_cast<uint8_t>(0x30 | (config.channel & 0x0F));
  m[3] = id[0];
  m[4] = id[1];
  m[5] = id[2];
  return m;
}

void append_packed(Message& m, const std::vector<uint8_t>& data) {
  const std::vector<uint8_t> packed = quave::pack_7bit(data);
  m.insert(m.end(), packed.begin(), packed.end());
  m.push_back(quave::kSysexEnd);
}

}  // namespace

Message search_reply(const SimConfig& config, uint8_t echo) {
  Message m(quave::kSearchDeviceReply.begin(), quave::kSearchDeviceReply.end());
  const auto id = model_id(config);
  m[4] = config.channel;
  m[5] = echo;
  m[6] = id[2];
  m[7] = id[1];
  // Two 16-bit little-endian halves; 7-bit values keep the high bytes zero.
  m[10] = config.system_major;
  m[11] = 0;
  m[12] = config.system_minor;
  m[13] = 0;
  return m;
}

Message api_version_reply(const SimConfig& config) {
  Message m = device_header(config, quave::kApiVersionReply);
  m[7] = config.api_platform.value_or(config.platform);
  m[8] = config.api_major;
  m[9] = config.api_minor;
  m[10] = config.api_patch;
  return m;
}

Message module_info_reply(const SimConfig& config, uint8_t module,
                          const std::vector<uint8_t>& info) {
  Message m = device_header(config, quave::kModuleInfoReplyHeader);
  m[7] = module;
  append_packed(m, info);
  return m;
}

Message slot_status_reply(const SimConfig& config, uint8_t module, uint8_t slot,
                          const std::vector<uint8_t>& record) {
  Message m = device_header(config, quave::kSlotStatusReplyHeader);
  m[7] = module;
  m[8] = slot;
  append_packed(m, record);
  return m;
}

Message status_reply(const SimConfig& config, uint8_t status) {
  Message m = device_header(config, quave::kStatusReply);
  m[6] = status;
  return m;
}

std::vector<uint8_t> module_info_record(const ModuleConfig& module) {
  std::vector<uint8_t> r(16, 0);
  quave::put_le32(&r[0], module.max_payload_size);
  quave::put_le32(&r[4], module.max_load_size);
  r[8] = module.slot_count;
  return r;
}

}  // namespace devsim
