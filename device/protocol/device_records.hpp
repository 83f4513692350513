// What the device reported during the handshake, kept byte for byte as it
// arrived, with accessors that read the fields at their offsets.
#pragma once

#include <array>
#include <cstdint>

#include "base/bytes.hpp"
#include "device/protocol/messages.hpp"
#include "unit/models.hpp"

namespace quave {

constexpr unsigned kSlotsPerModule = 16;

// The 16 unpacked bytes of a ModuleInfoReply.
struct ModuleInfo {
  std::array<uint8_t, 16> bytes{};

  uint32_t max_payload_size() const { return get_le32(&bytes[0]); }
  uint32_t max_load_size() const { return get_le32(&bytes[4]); }
  uint8_t slot_count() const { return bytes[8]; }
  // The slots that have records: a module may report more than there are.
  unsigned recorded_slots() const;
};

// The 32 unpacked bytes of a SlotStatusReply: the first 32 bytes of the
// header of the unit in the slot, all zero when the slot is free.
struct SlotStatus {
  std::array<uint8_t, 32> bytes{};

  bool is_free() const { return bytes[0] == 0 && bytes[1] == 0; }
};

inline unsigned ModuleInfo::recorded_slots() const {
  return slot_count() < kSlotsPerModule ? slot_count() : kSlotsPerModule;
}

struct DeviceInfo {
  uint8_t channel = 0;  // 0..7
  // The model, from the family id of the search reply, which also addresses
  // every request after it: the one source of what the device is.
  PlatformId platform = 0;
  std::array<uint8_t, 3> model_id{};
  std::array<uint8_t, 4> system_version{};  // major (LE16), minor (LE16)
  std::array<uint8_t, 3> api_version{};     // patch, minor, major
  std::array<ModuleInfo, kModuleCount> modules{};
  std::array<std::array<SlotStatus, kSlotsPerModule>, kModuleCount> slots{};

  DeviceAddress address() const { return DeviceAddress{channel, model_id}; }
  uint8_t system_major() const { return system_version[0]; }
  uint8_t system_minor() const { return system_version[2]; }
  uint8_t api_major() const { return api_version[2]; }
  uint8_t api_minor() const { return api_version[1]; }
  uint8_t api_patch() const { return api_version[0]; }
};

}  // namespace quave
