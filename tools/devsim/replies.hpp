// The replies a device sends, each written out byte by byte. Nothing here
// comes from the program's message catalogue or its packer: a wrong template
// there must show up as a reply the program does not understand.
#pragma once

#include <cstdint>
#include <vector>

#include "device/protocol/messages.hpp"
#include "tools/devsim/sim_config.hpp"

namespace devsim {

using quave::Message;

// Status bytes the simulator answers with.
constexpr uint8_t kStatusAcknowledge = 0x23;
constexpr uint8_t kStatusTooLarge = 0x27;
constexpr uint8_t kStatusCrc = 0x28;
constexpr uint8_t kStatusInvalidTarget = 0x29;
constexpr uint8_t kStatusApiVersion = 0x2A;
constexpr uint8_t kStatusInvalidModule = 0x2C;
constexpr uint8_t kStatusInvalidSlot = 0x2D;
constexpr uint8_t kStatusFormat = 0x2E;

Message search_reply(const SimConfig& config, uint8_t echo);
Message api_version_reply(const SimConfig& config);
// `info` empty: a reply without data.
Message module_info_reply(const SimConfig& config, uint8_t module,
                          const std::vector<uint8_t>& info);
// `record` empty: the slot is free.
Message slot_status_reply(const SimConfig& config, uint8_t module, uint8_t slot,
                          const std::vector<uint8_t>& record);
Message status_reply(const SimConfig& config, uint8_t status);

// `data` in 7-bit form: per group of up to seven bytes, a byte holding their
// top bits (bit i for byte i), then the bytes with their top bit cleared.
std::vector<uint8_t> seven_bit(const std::vector<uint8_t>& data);

// The 16-byte module info record of a module.
std::vector<uint8_t> module_info_record(const ModuleConfig& module);

}  // namespace devsim
