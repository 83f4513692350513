#include "unit/unit_package.hpp"

#include <boost/regex.hpp>
#include <new>

#include "unit/zip_archive.hpp"

namespace quave {

namespace {

const boost::regex kManifestPattern("[^/]+/manifest[.]json");
const boost::regex kPayloadPattern("[^/]+/payload[.]bin");

enum class EntryRead { ok, too_large, no_memory, not_extracted };

// Inflates a matching entry into a fresh zero-filled buffer of its size plus
// `extra` bytes, refusing oversized entries before allocating anything.
// `total` counts what the package's entries declared so far.
template <typename Byte>
EntryRead read_entry(const ZipArchive& archive, uint64_t index, uint64_t size, size_t extra,
                     uint64_t& total, std::vector<Byte>& out) {
  if (size > kMaxEntrySize || size > kMaxPackageSize - total) return EntryRead::too_large;
  total += size;
  std::vector<Byte> buffer;
  try {
    buffer.assign(static_cast<size_t>(size) + extra, Byte{0});
  } catch (const std::bad_alloc&) {
    return EntryRead::no_memory;
  }
  if (!archive.extract(index, reinterpret_cast<uint8_t*>(buffer.data()), size))
    return EntryRead::not_extracted;
  out = std::move(buffer);
  return EntryRead::ok;
}

// The error lines of one kind of entry, written out whole so that each
// message reads as it appears.
struct EntryMessages {
  const char* too_large;
  const char* no_memory;
  const char* not_extracted;
};

const EntryMessages kManifestMessages{
    "Error: Manifest data in archive is too large.",
    "Error: Could not allocate memory buffer for manifest data.",
    "Error: Could not extract manifest data from archive."};
const EntryMessages kPayloadMessages{
    "Error: Payload data in archive is too large.",
    "Error: Could not allocate memory buffer for payload data.",
    "Error: Could not extract payload data from archive."};

void report_entry(EntryRead read, const EntryMessages& messages, PackageReport& report) {
  const char* line = read == EntryRead::too_large   ? messages.too_large
                     : read == EntryRead::no_memory ? messages.no_memory
                                                     : messages.not_extracted;
  report.err(std::string(line) + "\n");
}

}  // namespace

PlatformId platform_from_path(const std::string& path) {
  const auto dot = path.rfind('.');
  if (dot == std::string::npos) return 0;
  return platform_from_extension(path.substr(dot + 1)).value_or(0);
}

std::string PackageReport::text(Stream stream) const {
  std::string joined;
  for (const Line& line : lines) {
    if (line.stream == stream) joined += line.text;
  }
  return joined;
}

std::optional<UnitPackage> read_unit_package(const std::string& path, PackageReport& report) {
  UnitPackage package;
  package.platform = platform_from_path(path);
  report.out(std::string("> Parsing ") + platform_display_archive(package.platform) +
             " unit archive\n");

  auto archive = ZipArchive::open(path);
  if (!archive) {
    report.err("Error: Could not open unit archive file at \"" + path + "\"\n");
    return std::nullopt;
  }

  bool have_manifest = false;
  bool have_payload = false;
  uint64_t total = 0;
  const uint64_t count = archive->entry_count();
  for (uint64_t i = 0; i < count; ++i) {
    const auto entry = archive->entry(i);
    if (!entry) continue;  // a damaged record is skipped
    if (boost::regex_match(entry->name, kManifestPattern)) {
      const EntryRead read = read_entry(*archive, i, entry->size, 1, total, package.manifest_text);
      if (read != EntryRead::ok) {
        report_entry(read, kManifestMessages, report);
        return std::nullopt;
      }
      have_manifest = true;
    } else if (boost::regex_match(entry->name, kPayloadPattern)) {
      const EntryRead read = read_entry(*archive, i, entry->size, 0, total, package.payload);
      if (read != EntryRead::ok) {
        report_entry(read, kPayloadMessages, report);
        return std::nullopt;
      }
      package.payload_size = static_cast<uint32_t>(entry->size);
      have_payload = true;
    }
  }
  archive->close();

  if (!have_manifest) {
    report.err("Error: Could not find manifest data in archive.\n");
    return std::nullopt;
  }
  if (!have_payload) {
    report.err("Error: Could not find payload data in archive.\n");
    return std::nullopt;
  }
  return package;
}

}  // namespace quave
