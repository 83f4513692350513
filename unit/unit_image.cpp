#include "unit/unit_image.hpp"

#include <boost/crc.hpp>
#include <cstdio>
#include <cstring>
#include <new>

#include "base/bytes.hpp"
#include "base/version_text.hpp"
#include "unit/identifiers.hpp"

namespace quave {

namespace {

bool header_is_valid(const UnitHeader& header) {
  const uint8_t* h = header.bytes.data();
  if (h[kHdrPlatform] > kLastPlatform) return false;
  if (header.module() >= kModuleCount) return false;
  return std::memchr(h + kHdrName, 0, kNameFieldSize) != nullptr;
}

}  // namespace

std::optional<UnitImage> build_unit_image(const uint8_t* payload, const UnitHeader& header,
                                          uint32_t payload_size, std::string& diagnostics) {
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
  if (payload_size < 4 || std::memcmp(payload, &kModuleMagic[4 * header.module()], 4) != 0) {
    diagnostics = "Binary magic bytes do not match the manifest's declared target module.";
    return std::nullopt;
  }
  // The trailer is already zero from the allocation.
  image.crc = crc32(image.bytes.data(), image.bytes.size());
  return image;
}

uint32_t crc32(const uint8_t* data, size_t size) {
  boost::crc_32_type crc;
  crc.process_bytes(data, size);
  return crc.checksum();
}

std::string format_unit_id(uint32_t id) {
  char buf[9];
  std::snprintf(buf, sizeof buf, "%08X", id);
  return buf;
}

std::string unit_name(const uint8_t* record) {
  const char* name = reinterpret_cast<const char*>(record + kHdrName);
  return std::string(name, strnlen(name, kNameFieldSize));
}

std::string unit_summary(const uint8_t* record) {
  return "\"" + unit_name(record) + "\" " +
         "v" + format_packed_version(get_le32(record + kHdrVersion)) + " " +
         "api:" + format_packed_version(get_le32(record + kHdrApi)) + " " +
         "did:" + format_unit_id(get_le32(record + kHdrDevId)) + " " +
         "uid:" + format_unit_id(get_le32(record + kHdrPrgId));
}

}  // namespace quave
