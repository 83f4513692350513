// The replies a device sends, built from the catalog's templates.
#pragma once

#include <cstdint>
#include <vector>

#include "device/messages.hpp"
#include "tools/devsim/sim_config.hpp"

namespace devsim {

using quave::Message;

// Status bytes the simulator answers with.
using quave::kStatusAcknowledge;
using quave::kStatusApiVersion;
using quave::kStatusCrc;
using quave::kStatusFormat;
using quave::kStatusInvalidModule;
using quave::kStatusInvalidSlot;
using quave::kStatusInvalidTarget;
using quave::kStatusTooLarge;

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
