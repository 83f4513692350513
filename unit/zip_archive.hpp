// A thin read-only layer over libzip: open an archive file, walk its entries
// in central-directory order, extract one into a caller's buffer.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

struct zip;

namespace quave {

struct ZipEntry {
  std::string name;  // as stored, cut at a zero byte, backslashes made slashes
  uint64_t size = 0;  // uncompressed size as declared by the archive
};

class ZipArchive {
 public:
  // Nothing for an empty path, a file that cannot be opened or read (a
  // directory among them) and a file that is not a zip archive.
  static std::optional<ZipArchive> open(const std::string& path);

  uint64_t entry_count() const;
  // Nothing when the entry's central directory record cannot be read.
  std::optional<ZipEntry> entry(uint64_t index) const;
  // Inflates entry `index` into `buffer`, which holds `size` bytes, the size
  // the entry declares. Never writes more than `size` bytes. Fails when the
  // entry's local header lacks its signature, the entry cannot be read or
  // inflated, yields a different number of bytes, or its CRC-32 does not
  // match.
  bool extract(uint64_t index, uint8_t* buffer, uint64_t size) const;
  void close();

 private:
  struct Closer {
    void operator()(zip* archive) const;
  };
  ZipArchive(zip* archive, std::string path, std::vector<uint64_t> local_offsets)
      : archive_(archive), path_(std::move(path)), local_offsets_(std::move(local_offsets)) {}
  bool local_header_signed(uint64_t index) const;
  bool method_read_everywhere(uint64_t index) const;
  std::unique_ptr<zip, Closer> archive_;
  std::string path_;
  // Where each entry's local header starts, in central-directory order;
  // empty when the directory could not be walked the way libzip walked it.
  std::vector<uint64_t> local_offsets_;
};

}  // namespace quave
