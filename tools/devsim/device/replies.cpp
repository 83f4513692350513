#include "tools/devsim/device/replies.hpp"

#include "base/bytes.hpp"

namespace device_side {

std::array<uint8_t, 3> model_of(uint8_t platform) {
  return {0x00, kFamilyHigh, kFamilyLow.at(platform - 1)};
}

Message device_header(const Address& from, uint8_t function) {
  return {kStart, kManufacturer, static_cast<uint8_t>(kDeviceGroup | (from.channel & 0x0F)),
          from.model[0], from.model[1], from.model[2], function};
}

Message search_reply(const Address& from, uint8_t echo, uint8_t system_major,
                     uint8_t system_minor) {
  // The version is two 16-bit little-endian halves; 7-bit values keep the
  // high bytes zero.
  return {kStart, kManufacturer, kSearchGroup, kSearchReply, from.channel, echo,
          from.model[2], from.model[1], 0x00, 0x00, system_major, 0x00, system_minor, 0x00, kEnd};
}

Message api_version_reply(const Address& from, uint8_t platform, uint8_t major, uint8_t minor,
                          uint8_t patch) {
  Message m = device_header(from, kFnApiVersionReply);
  m.insert(m.end(), {platform, major, minor, patch, kEnd});
  return m;
}

namespace {

Message data_reply(Message m, const std::vector<uint8_t>& data) {
  const std::vector<uint8_t> packed = pack7(data);
  m.insert(m.end(), packed.begin(), packed.end());
  m.push_back(kEnd);
  return m;
}

}  // namespace

Message module_info_reply(const Address& from, uint8_t module, const std::vector<uint8_t>& info) {
  Message m = device_header(from, kFnModuleInfoReply);
  m.insert(m.end(), {module, 0x00});
  return data_reply(std::move(m), info);
}

Message slot_status_reply(const Address& from, uint8_t module, uint8_t slot,
                          const std::vector<uint8_t>& record) {
  Message m = device_header(from, kFnSlotStatusReply);
  m.insert(m.end(), {module, slot, 0x00});
  return data_reply(std::move(m), record);
}

Message status_reply(const Address& from, uint8_t status) {
  Message m = device_header(from, status);
  m.push_back(kEnd);
  return m;
}

std::vector<uint8_t> module_record(uint32_t max_payload, uint32_t max_load, uint8_t slots) {
  std::vector<uint8_t> r(16, 0);
  quave::put_le32(&r[0], max_payload);
  quave::put_le32(&r[4], max_load);
  r[8] = slots;
  return r;
}

}  // namespace device_side
