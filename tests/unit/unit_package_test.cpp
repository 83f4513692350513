#include "unit/unit_package.hpp"

#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "tests/support/process.hpp"
#include "tests/support/zip_writer.hpp"

// A namespace of its own: the test files of a program compile together.
namespace quave::unit_package_tests {
namespace {

using test::ZipItem;

const std::string kManifest = "{\"header\": {}}";
const std::string kPayload = "UOSC payload bytes";

struct ReadResult {
  std::optional<UnitPackage> package;
  std::string out;
  std::string err;
};

ReadResult read_captured(const std::string& path) {
  ReadResult r;
  PackageReport report;
  r.package = read_unit_package(path, report);
  r.out = report.text(PackageReport::Stream::out);
  r.err = report.text(PackageReport::Stream::err);
  return r;
}

std::string manifest_of(const UnitPackage& p) {
  return std::string(p.manifest_text.begin(), p.manifest_text.end());
}

std::string payload_of(const UnitPackage& p) { return std::string(p.payload.begin(), p.payload.end()); }

TEST(PlatformFromPath, LastDotDecides) {
  const std::pair<const char*, PlatformId> rows[] = {
      {"saw.vstlunit", 1},       {"dir/saw.hlvnrxunit", 2}, {"saw.orvtonunit", 3},
      {"saw", 0},                {"saw.VSTLUNIT", 0},       {"saw.vstlunit.zip", 0},
      {"unit.vstlunit/saw", 0},  {"saw.", 0},               {"", 0},
      {".vstlunit", 1},          {"saw.vstlunit ", 0},
  };
  for (const auto& [path, platform] : rows) EXPECT_EQ(platform_from_path(path), platform) << path;
}

struct ArchiveCase {
  const char* what;
  std::vector<ZipItem> items;
  std::string err;                 // empty when the read succeeds
  std::string manifest = kManifest;  // expected contents on success
  std::string payload = kPayload;
  std::function<void(const std::string&)> patch = nullptr;
};

std::string zeros(size_t n) { return std::string(n, '\0'); }

// Turns "PK\3\4" into "PX\3\4" at the local header of entry `name`.
void unsign_local_header(const std::string& path, const std::string& name) {
  std::string bytes = test::read_file(path);
  const std::string signature("PK\3\4", 4);
  for (size_t at = bytes.find(signature); at != std::string::npos; at = bytes.find(signature, at + 1)) {
    if (bytes.compare(at + 30, name.size(), name) == 0) {
      bytes[at + 1] = 'X';
      test::write_file(path, bytes);
      return;
    }
  }
  throw std::runtime_error("no local header for " + name);
}

const std::vector<ArchiveCase>& archive_cases() {
  static const std::vector<ArchiveCase> cases = {
      {"nested one level, deflated", {{"saw/manifest.json", kManifest}, {"saw/payload.bin", kPayload}}, ""},
      {"stored entries", {{"saw/manifest.json", kManifest, false}, {"saw/payload.bin", kPayload, false}}, ""},
      {"with a directory entry",
       {{"saw/", "", true, true}, {"saw/payload.bin", kPayload}, {"saw/manifest.json", kManifest}}, ""},
      {"backslash names", {{"saw\\manifest.json", kManifest}, {"saw\\payload.bin", kPayload}}, ""},
      {"top level", {{"manifest.json", kManifest}, {"payload.bin", kPayload}},
       "Error: Could not find manifest data in archive.\n"},
      {"two levels deep", {{"a/saw/manifest.json", kManifest}, {"a/saw/payload.bin", kPayload}},
       "Error: Could not find manifest data in archive.\n"},
      {"manifest name in capitals", {{"saw/Manifest.json", kManifest}, {"saw/payload.bin", kPayload}},
       "Error: Could not find manifest data in archive.\n"},
      {"payload name in capitals", {{"saw/manifest.json", kManifest}, {"saw/payload.BIN", kPayload}},
       "Error: Could not find payload data in archive.\n"},
      {"trailing text after the name", {{"saw/manifest.json", kManifest}, {"saw/payload.bin.old", kPayload}},
       "Error: Could not find payload data in archive.\n"},
      {"empty archive", {}, "Error: Could not find manifest data in archive.\n"},
      {"payload only", {{"saw/payload.bin", kPayload}}, "Error: Could not find manifest data in archive.\n"},
      {"zero-byte manifest", {{"saw/manifest.json", ""}, {"saw/payload.bin", kPayload}}, "", ""},
      {"zero-byte payload", {{"saw/manifest.json", kManifest}, {"saw/payload.bin", ""}}, "", kManifest, ""},
      {"last match wins",
       {{"a/manifest.json", "first"}, {"a/payload.bin", "UOSC first"}, {"b/manifest.json", kManifest},
        {"b/payload.bin", kPayload}, {"c/other.txt", "x"}},
       ""},
      {"payload with a wrong CRC",
       {{"saw/manifest.json", kManifest}, {"saw/payload.bin", kPayload}},
       "Error: Could not extract payload data from archive.\n", kManifest, kPayload,
       [](const std::string& path) {
         test::patch_zip_crc(path, "saw/payload.bin", test::zip_stored_crc(path, "saw/payload.bin") ^ 1);
       }},
      {"stored manifest with a wrong CRC",
       {{"saw/manifest.json", kManifest, false}, {"saw/payload.bin", kPayload}},
       "Error: Could not extract manifest data from archive.\n", kManifest, kPayload,
       [](const std::string& path) { test::patch_zip_crc(path, "saw/manifest.json", 0); }},
      {"a bad earlier duplicate still fails",
       {{"a/payload.bin", kPayload}, {"saw/manifest.json", kManifest}, {"saw/payload.bin", kPayload}},
       "Error: Could not extract payload data from archive.\n", kManifest, kPayload,
       [](const std::string& path) { test::patch_zip_crc(path, "a/payload.bin", 1); }},
      {"payload's local header without its signature",
       {{"saw/manifest.json", kManifest}, {"saw/payload.bin", kPayload}},
       "Error: Could not extract payload data from archive.\n", kManifest, kPayload,
       [](const std::string& path) { unsign_local_header(path, "saw/payload.bin"); }},
      {"stored manifest's local header without its signature",
       {{"saw/manifest.json", kManifest, false}, {"saw/payload.bin", kPayload}},
       "Error: Could not extract manifest data from archive.\n", kManifest, kPayload,
       [](const std::string& path) { unsign_local_header(path, "saw/manifest.json"); }},
      {"inflates to more than declared",
       {{"saw/manifest.json", kManifest}, {"saw/payload.bin", "UOSC" + zeros(65536)}},
       "Error: Could not extract payload data from archive.\n", kManifest, kPayload,
       [](const std::string& path) { test::patch_zip_uncompressed_size(path, "saw/payload.bin", 100); }},
      {"inflates to less than declared",
       {{"saw/manifest.json", kManifest}, {"saw/payload.bin", kPayload}},
       "Error: Could not extract payload data from archive.\n", kManifest, kPayload,
       [](const std::string& path) { test::patch_zip_uncompressed_size(path, "saw/payload.bin", 4096); }},
      {"payload declared above the cap",
       {{"saw/manifest.json", kManifest}, {"saw/payload.bin", kPayload}},
       "Error: Payload data in archive is too large.\n", kManifest, kPayload,
       [](const std::string& path) {
         test::patch_zip_uncompressed_size(path, "saw/payload.bin", kMaxEntrySize + 1);
       }},
      {"manifest declared above the cap",
       {{"saw/manifest.json", kManifest}, {"saw/payload.bin", kPayload}},
       "Error: Manifest data in archive is too large.\n", kManifest, kPayload,
       [](const std::string& path) { test::patch_zip_uncompressed_size(path, "saw/manifest.json", 0xFFFFFFFE); }},
      // The oversized entry is refused where it is met, before the walk ends
      // and the missing manifest could be noticed.
      {"oversized payload and no manifest", {{"saw/payload.bin", kPayload}},
       "Error: Payload data in archive is too large.\n", kManifest, kPayload,
       [](const std::string& path) {
         test::patch_zip_uncompressed_size(path, "saw/payload.bin", kMaxEntrySize + 1);
       }},
      // A non-matching entry may be as large as it likes: it is never read.
      {"oversized entry that does not match",
       {{"saw/manifest.json", kManifest}, {"saw/readme.txt", "x"}, {"saw/payload.bin", kPayload}}, "",
       kManifest, kPayload,
       [](const std::string& path) { test::patch_zip_uncompressed_size(path, "saw/readme.txt", 0xFFFFFFFE); }},
  };
  return cases;
}

class ArchiveReading : public ::testing::TestWithParam<size_t> {};

TEST_P(ArchiveReading, GivesPackageOrItsErrorLine) {
  const ArchiveCase& c = archive_cases()[GetParam()];
  SCOPED_TRACE(c.what);
  test::TempDir dir;
  const std::string path = dir.file("unit.vstlunit");
  test::write_zip(path, c.items);
  if (c.patch) c.patch(path);

  const ReadResult r = read_captured(path);
  EXPECT_EQ(r.out, "> Parsing vestrel unit archive\n");
  EXPECT_EQ(r.err, c.err);
  ASSERT_EQ(r.package.has_value(), c.err.empty());
  if (!r.package) return;
  EXPECT_EQ(r.package->platform, 1);
  EXPECT_EQ(manifest_of(*r.package), c.manifest + '\0');
  EXPECT_EQ(payload_of(*r.package), c.payload);
  EXPECT_EQ(r.package->payload_size, c.payload.size());
}

INSTANTIATE_TEST_SUITE_P(Cases, ArchiveReading, ::testing::Range<size_t>(0, archive_cases().size()),
                         [](const auto& info) {
                           std::string name = archive_cases()[info.param].what;
                           for (char& ch : name) {
                             if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
                           }
                           return name;
                         });

TEST(ArchiveOpening, FailuresQuoteThePathAsGiven) {
  test::TempDir dir;
  test::write_file(dir.file("text.vstlunit"), "{\"header\": {}}\n");
  test::write_file(dir.file("empty.orvtonunit"), "");
  const std::pair<std::string, std::string> rows[] = {
      {"", "> Parsing unknown unit archive\n"},
      {dir.path(), "> Parsing unknown unit archive\n"},
      {dir.path() + "/", "> Parsing unknown unit archive\n"},
      {dir.file("missing.hlvnrxunit"), "> Parsing halvane rx unit archive\n"},
      {dir.file("text.vstlunit"), "> Parsing vestrel unit archive\n"},
      {dir.file("empty.orvtonunit"), "> Parsing orvalt tonal unit archive\n"},
  };
  for (const auto& [path, out] : rows) {
    const ReadResult r = read_captured(path);
    EXPECT_FALSE(r.package) << path;
    EXPECT_EQ(r.out, out);
    EXPECT_EQ(r.err, "Error: Could not open unit archive file at \"" + path + "\"\n");
  }
}

}  // namespace
}  // namespace quave::unit_package_tests
