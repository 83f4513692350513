#include "tests/support/zip_writer.hpp"

#include <stdexcept>

#include "tests/support/process.hpp"
#include "tests/support/raw_zip.hpp"
#include "base/bytes.hpp"

namespace quave::test {

namespace {

uint8_t* at(std::string& bytes, size_t offset) {
  return reinterpret_cast<uint8_t*>(bytes.data()) + offset;
}

// Offsets of the local header and the central directory record of `name`.
struct EntryOffsets {
  size_t local;
  size_t central;
};

EntryOffsets find_entry(std::string& bytes, const std::string& name) {
  // The end of central directory record: signature, then its offset field.
  const size_t eocd = bytes.rfind(std::string("PK\x05\x06", 4));
  if (eocd == std::string::npos) throw std::runtime_error("no end of central directory");
  const uint16_t count = get_le16(at(bytes, eocd + 10));
  size_t p = get_le32(at(bytes, eocd + 16));
  for (uint16_t i = 0; i < count; ++i) {
    if (get_le32(at(bytes, p)) != 0x02014b50) throw std::runtime_error("bad central record");
    const uint16_t name_length = get_le16(at(bytes, p + 28));
    const uint16_t extra_length = get_le16(at(bytes, p + 30));
    const uint16_t comment_length = get_le16(at(bytes, p + 32));
    if (bytes.compare(p + 46, name_length, name) == 0 && name_length == name.size())
      return {get_le32(at(bytes, p + 42)), p};
    p += 46 + name_length + extra_length + comment_length;
  }
  throw std::runtime_error("no entry " + name);
}

void patch(const std::string& path, const std::string& name, size_t local_field,
           size_t central_field, uint32_t value) {
  std::string bytes = read_file(path);
  const EntryOffsets e = find_entry(bytes, name);
  put_le32(at(bytes, e.local + local_field), value);
  put_le32(at(bytes, e.central + central_field), value);
  write_file(path, bytes);
}

}  // namespace

void write_zip(const std::string& path, const std::vector<ZipItem>& items) {
  std::vector<RawEntry> entries;
  for (const ZipItem& item : items) {
    if (item.directory)
      entries.push_back(stored_entry(item.name, ""));
    else
      entries.push_back(item.deflate ? deflated_entry(item.name, item.data)
                                     : stored_entry(item.name, item.data));
  }
  write_file(path, raw_zip(entries));
}

void patch_zip_crc(const std::string& path, const std::string& name, uint32_t crc) {
  patch(path, name, 14, 16, crc);
}

void patch_zip_uncompressed_size(const std::string& path, const std::string& name,
                                 uint32_t size) {
  patch(path, name, 22, 24, size);
}

uint32_t zip_stored_crc(const std::string& path, const std::string& name) {
  std::string bytes = read_file(path);
  return get_le32(at(bytes, find_entry(bytes, name).central + 16));
}

}  // namespace quave::test
