// Builds honest zip archives for tests, and patches the fields of a finished
// archive to make it lie about an entry.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quave::test {

struct ZipItem {
  std::string name;
  std::string data;
  bool deflate = true;
  bool directory = false;  // a directory entry, named with a final '/'; `data` is ignored
};

// Writes the items, in order, as a zip archive at `path`. Throws on failure.
void write_zip(const std::string& path, const std::vector<ZipItem>& items);

// Overwrites a field of the entry called `name` in both its local header and
// its central directory record. Throws when the entry is not there.
void patch_zip_crc(const std::string& path, const std::string& name, uint32_t crc);
void patch_zip_uncompressed_size(const std::string& path, const std::string& name,
                                 uint32_t size);

// The CRC-32 stored in the central directory record of entry `name`.
uint32_t zip_stored_crc(const std::string& path, const std::string& name);

}  // namespace quave::test
