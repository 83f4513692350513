// manifest.json: parsing, validation and packing into the 1024-byte unit
// header.
#pragma once

#include <array>
#include <boost/property_tree/ptree_fwd.hpp>
#include <cstdint>
#include <optional>
#include <string>

#include "unit/models.hpp"

namespace quave {

constexpr size_t kUnitHeaderSize = 1024;
constexpr size_t kParamDescriptorSize = 16;
constexpr size_t kParamsOffset = 36;
constexpr unsigned kMaxParamDescriptors = 61;
constexpr size_t kNameFieldSize = 14;
constexpr size_t kNameMaxLength = 13;

// Header offsets.
constexpr size_t kHdrModule = 0;
constexpr size_t kHdrPlatform = 1;
constexpr size_t kHdrApi = 2;
constexpr size_t kHdrDevId = 6;
constexpr size_t kHdrPrgId = 10;
constexpr size_t kHdrVersion = 14;
constexpr size_t kHdrName = 18;
constexpr size_t kHdrNumParam = 32;

struct UnitHeader {
  std::array<uint8_t, kUnitHeaderSize> bytes{};

  // The module byte's seven bits.
  ModuleId module() const { return bytes[kHdrModule] & 0x7F; }
  PlatformId platform() const { return bytes[kHdrPlatform]; }
};

// `manifest_text` is zero-terminated (the JSON ends at its first zero byte);
// nullptr means no text at all. `diagnostics` is replaced on every return
// (except "no text", which sets it too) with the warnings and at most one
// error.
std::optional<UnitHeader> parse_manifest(const char* manifest_text, PlatformId expected_platform,
                                         std::string& diagnostics);
std::optional<UnitHeader> validate_manifest(const boost::property_tree::ptree& tree,
                                            PlatformId expected_platform,
                                            std::string& diagnostics);

}  // namespace quave
