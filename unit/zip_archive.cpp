#include "unit/zip_archive.hpp"

#include <zip.h>

#include <algorithm>
#include <cstring>
#include <exception>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "base/bytes.hpp"

namespace quave {

namespace {

constexpr uint32_t kLocalSignature = 0x04034b50;
constexpr uint32_t kCentralSignature = 0x02014b50;
constexpr uint32_t kEndSignature = 0x06054b50;
constexpr uint32_t kEnd64Signature = 0x06064b50;
constexpr uint32_t kEnd64LocatorSignature = 0x07064b50;
constexpr uint32_t kMax32 = 0xFFFFFFFF;
constexpr size_t kEndSize = 22, kLocatorSize = 20, kEnd64Size = 56, kCentralSize = 46;

uint64_t get_le64(const uint8_t* p) { return get_le32(p) | uint64_t{get_le32(p + 4)} << 32; }

// `n` bytes at `offset`, or nothing when the file ends first.
std::optional<std::vector<uint8_t>> read_at(std::ifstream& file, uint64_t offset, uint64_t n) {
  std::vector<uint8_t> bytes(n);
  file.clear();
  file.seekg(static_cast<std::streamoff>(offset));
  if (!file.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(n)))
    return std::nullopt;
  return bytes;
}

// The local header offsets of `count` central records starting the buffer.
std::optional<std::vector<uint64_t>> record_offsets(const std::vector<uint8_t>& central,
                                                    uint64_t count) {
  std::vector<uint64_t> offsets;
  size_t at = 0;
  for (uint64_t i = 0; i < count; ++i) {
    if (central.size() - at < kCentralSize) return std::nullopt;
    const uint8_t* record = central.data() + at;
    if (get_le32(record) != kCentralSignature) return std::nullopt;
    const size_t name = get_le16(record + 28), extra = get_le16(record + 30),
                 comment = get_le16(record + 32);
    if (central.size() - at - kCentralSize < name + extra + comment) return std::nullopt;
    uint64_t offset = get_le32(record + 42);
    if (offset == kMax32) {
      // The zip64 field holds only what overflowed, in a fixed order.
      const size_t skip = (get_le32(record + 24) == kMax32 ? 8 : 0) +
                          (get_le32(record + 20) == kMax32 ? 8 : 0);
      const uint8_t* field = record + kCentralSize + name;
      const uint8_t* fields_end = field + extra;
      bool found = false;
      while (!found && fields_end - field >= 4) {
        const size_t size = get_le16(field + 2);
        if (static_cast<size_t>(fields_end - field - 4) < size) break;
        if (get_le16(field) == 0x0001 && size >= skip + 8) {
          offset = get_le64(field + 4 + skip);
          found = true;
        }
        field += 4 + size;
      }
      if (!found) return std::nullopt;
    }
    offsets.push_back(offset);
    at += kCentralSize + name + extra + comment;
  }
  return offsets;
}

// Walks the central directory again for what libzip does not tell: where
// each entry's local header starts. Empty unless it finds `expected_count`
// records.
std::vector<uint64_t> local_header_offsets(const std::string& path, uint64_t expected_count) {
  std::ifstream file(std::filesystem::u8path(path), std::ios::binary);
  if (!file || !file.seekg(0, std::ios::end)) return {};
  const uint64_t file_size = static_cast<uint64_t>(file.tellg());
  const uint64_t tail_size = std::min<uint64_t>(file_size, kEndSize + 0xFFFF);
  const auto tail = read_at(file, file_size - tail_size, tail_size);
  if (!tail || tail_size < kEndSize) return {};
  // The end record is the last one whose directory holds the expected records.
  for (size_t at = tail_size - kEndSize + 1; at-- > 0;) {
    const uint8_t* end = tail->data() + at;
    if (get_le32(end) != kEndSignature) continue;
    const uint64_t end_offset = file_size - tail_size + at;
    uint64_t count = get_le16(end + 10);
    uint64_t central_size = get_le32(end + 12);
    uint64_t central_offset = get_le32(end + 16);
    if (count == 0xFFFF || central_size == kMax32 || central_offset == kMax32) {
      if (end_offset < kLocatorSize) continue;
      const auto locator = read_at(file, end_offset - kLocatorSize, kLocatorSize);
      if (!locator || get_le32(locator->data()) != kEnd64LocatorSignature) continue;
      const auto record = read_at(file, get_le64(locator->data() + 8), kEnd64Size);
      if (!record || get_le32(record->data()) != kEnd64Signature) continue;
      count = get_le64(record->data() + 32);
      central_size = get_le64(record->data() + 40);
      central_offset = get_le64(record->data() + 48);
    }
    if (count != expected_count || central_size > file_size) continue;
    const auto central = read_at(file, central_offset, central_size);
    if (!central) continue;
    if (auto offsets = record_offsets(*central, count)) return std::move(*offsets);
  }
  return {};
}

}  // namespace

void ZipArchive::Closer::operator()(zip* archive) const { zip_discard(archive); }

std::optional<ZipArchive> ZipArchive::open(const std::string& path) {
  if (path.empty()) return std::nullopt;
  // libzip takes a zero-length file for a new, empty archive; only a real
  // archive file is accepted here.
  // The path is UTF-8, as libzip takes it; a plain std::string would be
  // read in the ANSI code page on Windows.
  std::filesystem::path file;
  try {
    file = std::filesystem::u8path(path);
  } catch (const std::exception&) {
    return std::nullopt;  // not UTF-8, so no file's name
  }
  std::error_code ec;
  if (!std::filesystem::is_regular_file(file, ec)) return std::nullopt;
  if (std::filesystem::file_size(file, ec) == 0 || ec) return std::nullopt;
  int error = 0;
  zip* archive = zip_open(path.c_str(), ZIP_RDONLY, &error);
  if (!archive) return std::nullopt;
  const zip_int64_t count = zip_get_num_entries(archive, 0);
  std::vector<uint64_t> offsets =
      count > 0 ? local_header_offsets(path, static_cast<uint64_t>(count)) : std::vector<uint64_t>{};
  return ZipArchive(archive, path, std::move(offsets));
}

uint64_t ZipArchive::entry_count() const {
  if (!archive_) return 0;
  const zip_int64_t count = zip_get_num_entries(archive_.get(), 0);
  return count < 0 ? 0 : static_cast<uint64_t>(count);
}

std::optional<ZipEntry> ZipArchive::entry(uint64_t index) const {
  if (!archive_) return std::nullopt;
  zip_stat_t st;
  zip_stat_init(&st);
  if (zip_stat_index(archive_.get(), index, ZIP_FL_ENC_RAW, &st) != 0) return std::nullopt;
  if (!(st.valid & ZIP_STAT_NAME) || !(st.valid & ZIP_STAT_SIZE) || !st.name) return std::nullopt;
  ZipEntry entry;
  entry.name = st.name;
  std::replace(entry.name.begin(), entry.name.end(), '\\', '/');
  entry.size = st.size;
  return entry;
}

// libzip finds an entry's data through its local header without looking at
// the header's signature; other zip readers refuse a header without one.
bool ZipArchive::local_header_signed(uint64_t index) const {
  if (index >= local_offsets_.size()) return false;
  // UTF-8, as open() checked: a narrow name would take the ANSI code page
  // on Windows.
  std::ifstream file(std::filesystem::u8path(path_), std::ios::binary);
  const auto signature = read_at(file, local_offsets_[index], 4);
  return signature && get_le32(signature->data()) == kLocalSignature;
}

// The methods the program reads on every system. libzip reads what it was
// built with, which differs: Debian 13's reads LZMA and Zstandard, Debian
// 12's does not.
bool ZipArchive::method_read_everywhere(uint64_t index) const {
  zip_stat_t st;
  zip_stat_init(&st);
  if (zip_stat_index(archive_.get(), index, 0, &st) != 0 || !(st.valid & ZIP_STAT_COMP_METHOD)) {
    return false;
  }
  return st.comp_method == ZIP_CM_STORE || st.comp_method == ZIP_CM_DEFLATE ||
         st.comp_method == ZIP_CM_BZIP2;
}

bool ZipArchive::extract(uint64_t index, uint8_t* buffer, uint64_t size) const {
  if (!archive_ || !local_header_signed(index) || !method_read_everywhere(index)) return false;
  zip_file_t* file = zip_fopen_index(archive_.get(), index, 0);
  if (!file) return false;
  bool ok = true;
  if (size > 0) ok = zip_fread(file, buffer, size) == static_cast<zip_int64_t>(size);
  // libzip checks the CRC-32 only when a read meets the end of the data, and
  // the data may run on past its declared size: one more byte must be the end.
  if (ok) {
    uint8_t probe;
    ok = zip_fread(file, &probe, 1) == 0;
  }
  zip_fclose(file);
  return ok;
}

void ZipArchive::close() { archive_.reset(); }

}  // namespace quave
