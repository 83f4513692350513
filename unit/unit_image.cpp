#include "unit/unit_image.hpp"

#include <cstdio>
#include <cstring>
#include <new>

#include "base/bytes.hpp"
#include "base/version_text.hpp"

namespace quave {

namespace {

bool header_is_valid(const UnitHeader& header) {
  const uint8_t* h = header.bytes.data();
  if (h[kHdrPlatform] > kLastPlatform) return false;
  if ((h[kHdrModule] & 0x7F) >= kModuleCount) return false;
  return std::memchr(h + kHdrName, 0, kNameFieldSize) != nullptr;
}

std::string hex8(uint32_t v) {
  char buf[9];
  std::snprintf(buf, sizeof buf, "%08X", v);
  return buf;
}

}  // namespace

std::optional<UnitImage> build_unit_image(const uint8_t* payload, const UnitHeader& header,
                                          uint32_t payload_size, uint32_t& image_size,
                                          std::string& diagnostics) {
  UnitImage image;
  try {
    image.bytes.assign(static_cast<size_t>(payload_size) + kImageOverhead, 0);
  } catch (const std::bad_alloc&) {
    diagnostics = "Could not allocate temporary payload buffer.";
    return std::nullopt;
  }
  std::memcpy(image.bytes.data(), header.bytes.data(), kUnitHeaderSize);
  if (payload_size) std::memcpy(image.bytes.data() + kUnitHeaderSize, payload, payload_size);

  if (!header_is_valid(header)) {
    diagnostics = "Unit binary header is invalid." + unit_summary(header);
    return std::nullopt;
  }
  const unsigned module = header.bytes[kHdrModule] & 0x7F;
  if (payload_size < 4 || std::memcmp(payload, &kModuleMagic[4 * module], 4) != 0) {
    diagnostics = "Binary magic bytes do not match the manifest's declared target module.";
    return std::nullopt;
  }
  // The trailer is already zero from the allocation.
  image_size = payload_size + kImageOverhead;
  return image;
}

std::string unit_summary(const uint8_t* record) {
  const char* name = reinterpret_cast<const char*>(record + kHdrName);
  const size_t name_length = strnlen(name, kNameFieldSize);
  return "\"" + std::string(name, name_length) + "\" " +
         "v" + format_packed_version(get_le32(record + kHdrVersion)) + " " +
         "api:" + format_packed_version(get_le32(record + kHdrApi)) + " " +
         "did:" + hex8(get_le32(record + kHdrDevId)) + " " +
         "uid:" + hex8(get_le32(record + kHdrPrgId));
}

}  // namespace quave
