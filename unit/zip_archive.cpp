#include "unit/zip_archive.hpp"

#include <zip.h>

#include <algorithm>
#include <cstring>
#include <exception>
#include <filesystem>
#include <system_error>

namespace quave {

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
  return ZipArchive(archive);
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

bool ZipArchive::extract(uint64_t index, uint8_t* buffer, uint64_t size) const {
  if (!archive_) return false;
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
