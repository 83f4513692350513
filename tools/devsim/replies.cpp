#include "tools/devsim/replies.hpp"

#include <algorithm>

#include "base/bytes.hpp"

namespace devsim {

namespace {

constexpr uint8_t kStart = 0xF0, kEnd = 0xF7, kManufacturer = 0x42;

// F0 42 3c m0 m1 m2 fn: c the channel, m the model id, fn the function or
// status byte.
Message device_header(const SimConfig& config, uint8_t function) {
  const auto id = model_id(config);
  return {kStart, kManufacturer, static_cast<uint8_t>(0x30 | (config.channel & 0x0F)),
          id[0], id[1], id[2], function};
}

}  // namespace

std::vector<uint8_t> seven_bit(const std::vector<uint8_t>& data) {
  std::vector<uint8_t> out;
  for (size_t group = 0; group < data.size(); group += 7) {
    const size_t n = std::min<size_t>(7, data.size() - group);
    uint8_t top_bits = 0;
    for (size_t i = 0; i < n; ++i) top_bits |= static_cast<uint8_t>((data[group + i] >> 7) << i);
    out.push_back(top_bits);
    for (size_t i = 0; i < n; ++i) out.push_back(data[group + i] & 0x7F);
  }
  return out;
}

// F0 42 50 01 ch echo fam-low fam-high 00 00 major 00 minor 00 F7
Message search_reply(const SimConfig& config, uint8_t echo) {
  const auto id = model_id(config);
  // The version is two 16-bit little-endian halves; 7-bit values keep the
  // high bytes zero.
  return {kStart, kManufacturer, 0x50, 0x01, config.channel, echo, id[2], id[1],
          0x00, 0x00, config.system_major, 0x00, config.system_minor, 0x00, kEnd};
}

// header(47) platform major minor patch F7
Message api_version_reply(const SimConfig& config) {
  Message m = device_header(config, 0x47);
  m.insert(m.end(), {config.api_platform.value_or(config.platform), config.api_major,
                     config.api_minor, config.api_patch, kEnd});
  return m;
}

// header(48) module 00 packed-info F7
Message module_info_reply(const SimConfig& config, uint8_t module,
                          const std::vector<uint8_t>& info) {
  Message m = device_header(config, 0x48);
  m.insert(m.end(), {module, 0x00});
  const std::vector<uint8_t> packed = seven_bit(info);
  m.insert(m.end(), packed.begin(), packed.end());
  m.push_back(kEnd);
  return m;
}

// header(49) module slot 00 packed-record F7
Message slot_status_reply(const SimConfig& config, uint8_t module, uint8_t slot,
                          const std::vector<uint8_t>& record) {
  Message m = device_header(config, 0x49);
  m.insert(m.end(), {module, slot, 0x00});
  const std::vector<uint8_t> packed = seven_bit(record);
  m.insert(m.end(), packed.begin(), packed.end());
  m.push_back(kEnd);
  return m;
}

// header(status) F7
Message status_reply(const SimConfig& config, uint8_t status) {
  Message m = device_header(config, status);
  m.push_back(kEnd);
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
