// The replies a device sends, written out byte by byte in the device's own
// terms.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "tools/devsim/device/sysex.hpp"

namespace device_side {

// Who answers: the channel (0..15) and the three model-id bytes.
struct Address {
  uint8_t channel = 0;
  std::array<uint8_t, 3> model{};
};

// 00, the family's high byte, its low byte; `platform` is 1 to 3.
std::array<uint8_t, 3> model_of(uint8_t platform);

// F0 42 3c m0 m1 m2 fn
Message device_header(const Address& from, uint8_t function);

// F0 42 50 01 ch echo fam-low fam-high 00 00 major 00 minor 00 F7: the
// channel as given, the family from the model id.
Message search_reply(const Address& from, uint8_t echo, uint8_t system_major,
                     uint8_t system_minor);
// header(47) platform major minor patch F7
Message api_version_reply(const Address& from, uint8_t platform, uint8_t major, uint8_t minor,
                          uint8_t patch);
// header(48) module 00 packed-info F7; `info` empty: a reply without data.
Message module_info_reply(const Address& from, uint8_t module, const std::vector<uint8_t>& info);
// header(49) module slot 00 packed-record F7; `record` empty: the slot is free.
Message slot_status_reply(const Address& from, uint8_t module, uint8_t slot,
                          const std::vector<uint8_t>& record);
// header(status) F7
Message status_reply(const Address& from, uint8_t status);

// The 16-byte module info record: maximum payload, maximum load (both
// little-endian 32-bit), slot count.
std::vector<uint8_t> module_record(uint32_t max_payload, uint32_t max_load, uint8_t slots);

}  // namespace device_side
