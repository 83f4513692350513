// Zip archives written byte by byte, for inputs that a zip writer refuses to
// make: entries that lie about their size, names with control or zero bytes,
// more entries than the classic end record counts, directory records that
// share one local header, and deflate data that inflates to gigabytes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quave::test {

struct RawEntry {
  std::string name;             // raw bytes, stored as they are
  std::string data;             // as stored: deflate data when `method` is 8
  uint16_t method = 0;          // 0 stored, 8 deflated
  uint32_t crc = 0;             // as declared
  uint64_t declared_size = 0;   // uncompressed size as declared
  uint32_t central_records = 1; // directory records pointing at this one local header
};

// Entries that tell the truth about `data`, stored or deflated.
RawEntry stored_entry(const std::string& name, const std::string& data);
RawEntry deflated_entry(const std::string& name, const std::string& data);

// The archive: local headers with their data, central directory, end record.
// Zip64 fields and records are used where a size or the entry count does not
// fit the classic ones.
std::string raw_zip(const std::vector<RawEntry>& entries);

// Raw deflate data that inflates to 1 + 258 * `matches` zero bytes: one
// literal, then back-references of 258 bytes costing two bits each, so about
// a thousand times smaller than what it inflates to.
std::string zero_bomb(uint64_t matches);
inline uint64_t zero_bomb_size(uint64_t matches) { return 1 + 258 * matches; }

}  // namespace quave::test
