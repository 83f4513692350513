// Parsers for the simulator's option values. Each throws
// std::invalid_argument with a message naming what was wrong.
#pragma once

#include <bitset>
#include <cstdint>
#include <string>
#include <utility>

#include "tools/devsim/model/sim_config.hpp"

namespace devsim {

using KindSet = std::bitset<kKindCount>;

// "all", or a comma list of kind names; "clear" means both clears.
KindSet parse_kinds(const std::string& text);
// "[KINDS:]VALUE": the kinds (`fallback` when absent) and the value text.
std::pair<KindSet, std::string> split_kinds(const std::string& text, KindSet fallback);

// A decimal or 0x-prefixed number from `low` to `high`.
uint32_t parse_number(const std::string& text, uint32_t low, uint32_t high, const char* what);
// A module name: global, modfx, delfx, revfx, osc.
uint8_t parse_module(const std::string& text);
// "MODULE:VALUE".
std::pair<uint8_t, std::string> split_module(const std::string& text);

// "MAJOR.MINOR" and "MAJOR.MINOR-PATCH", each part 0..127.
std::pair<uint8_t, uint8_t> parse_system_version(const std::string& text);
std::array<uint8_t, 3> parse_api_version(const std::string& text);

// "MODULE:SLOT:NAME[:DEV_ID[:UNIT_ID[:VERSION]]]": a slot record in unit
// header layout for the simulator's platform and API version. The unit id
// defaults to the slot number plus one, the version to 1.0-0.
Preload parse_preload(const std::string& text, const SimConfig& config);

}  // namespace devsim
