// The simulated device's replies, in the device side's own bytes
// (tools/devsim/device/): a wrong template in the program shows up as a
// reply the program does not understand.
#pragma once

#include <cstdint>
#include <vector>

#include "tools/devsim/device/replies.hpp"
#include "tools/devsim/model/sim_config.hpp"

namespace devsim {

using device_side::Message;

using device_side::kStatusAcknowledge;
using device_side::kStatusApiVersion;
using device_side::kStatusCrc;
using device_side::kStatusFormat;
using device_side::kStatusInvalidModule;
using device_side::kStatusInvalidSlot;
using device_side::kStatusInvalidTarget;
using device_side::kStatusTooLarge;

// The configured device's channel and model id.
device_side::Address address_of(const SimConfig& config);

Message search_reply(const SimConfig& config, uint8_t echo);
Message api_version_reply(const SimConfig& config);
// `info` empty: a reply without data.
Message module_info_reply(const SimConfig& config, uint8_t module,
                          const std::vector<uint8_t>& info);
// `record` empty: the slot is free.
Message slot_status_reply(const SimConfig& config, uint8_t module, uint8_t slot,
                          const std::vector<uint8_t>& record);
Message status_reply(const SimConfig& config, uint8_t status);

// The 16-byte module info record of a module.
std::vector<uint8_t> module_info_record(const ModuleConfig& module);

}  // namespace devsim
