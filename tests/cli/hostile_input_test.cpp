// Archives and manifests built to crash, hang or exhaust the checker. Each
// must end with its error line and exit code 1, quickly and in bounded memory.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "device/protocol/messages.hpp"
#include "tests/cli/expected_texts.hpp"
#include "tests/support/limited_process.hpp"
#include "tests/support/raw_zip.hpp"
#include "unit/unit_package.hpp"

// A namespace of its own: the test files of a program compile together.
namespace quave::test::hostile_input_tests {
namespace {

const std::string kPayload = "UOSC" + std::string(60, '\x5a');

std::string manifest(const std::string& platform, const std::string& name,
                     const std::string& more = "") {
  return "{\"header\": {\"platform\": \"" + platform +
         "\", \"module\": \"osc\", \"api\": \"1.1-0\", \"dev_id\": 0, \"prg_id\": 1, "
         "\"version\": \"1.0-0\", \"name\": \"" + name + "\", \"num_param\": 0}" + more + "}";
}
const std::string kManifest = manifest("vestrel", "Saw");

// About 1 GiB of zeros in about 1 MiB of deflate data.
constexpr uint64_t kGiBMatches = (uint64_t{1} << 30) / 258;
const std::string& gib_bomb() {
  static const std::string data = zero_bomb(kGiBMatches);
  return data;
}

RawEntry bomb_entry(const std::string& name, uint64_t declared) {
  return {name, gib_bomb(), 8, 0, declared};
}

// A payload entry that truthfully inflates to just under 16 MiB of zeros,
// named by `records` directory records that all point at its one local header.
RawEntry shared_payload(uint32_t records) {
  constexpr uint64_t matches = (kMaxEntrySize - 1) / 258;
  static const std::string zeros(zero_bomb_size(matches), '\0');
  static const uint32_t crc = crc32(reinterpret_cast<const uint8_t*>(zeros.data()), zeros.size());
  return {"unit/payload.bin", zero_bomb(matches), 8, crc, zeros.size(), records};
}

// A manifest of exactly `size` bytes: `head`, a string member padded with
// `fill`, then the closing brace.
std::string padded_manifest(const std::string& head, size_t size, char fill = 'x') {
  const std::string open = head + ", \"padding\": \"";
  const std::string close = "\"}";
  return open + std::string(size - open.size() - close.size(), fill) + close;
}

std::string nested(size_t levels, const std::string& open, const std::string& close) {
  std::string text;
  for (size_t i = 0; i < levels; ++i) text += open;
  text += "0";
  for (size_t i = 0; i < levels; ++i) text += close;
  return text;
}

const std::string kManifestLines = kArchiveLine + "> Parsing manifest\n";
const std::string kAllLines = kManifestLines + "> Parsing unit binary payload\n";
const std::string kParseFailed = "Error: Could not parse manifest data.\n";

struct Case {
  const char* what;
  std::function<std::vector<RawEntry>()> entries;
  std::string out;
  std::string err;
};

std::vector<RawEntry> package_with(RawEntry manifest_entry, RawEntry payload_entry) {
  return {std::move(manifest_entry), std::move(payload_entry)};
}

std::vector<RawEntry> with_manifest(const std::string& text) {
  return package_with(stored_entry("unit/manifest.json", text), stored_entry("unit/payload.bin", kPayload));
}

const std::vector<Case>& cases() {
  static const std::vector<Case> all = {
      {"payload declares 1000 bytes and inflates to 1 GiB",
       [] { return package_with(stored_entry("unit/manifest.json", kManifest), bomb_entry("unit/payload.bin", 1000)); },
       kArchiveLine, "Error: Could not extract payload data from archive.\n"},
      {"payload declares the 16 MiB limit and inflates to 1 GiB",
       [] {
         return package_with(stored_entry("unit/manifest.json", kManifest),
                             bomb_entry("unit/payload.bin", kMaxEntrySize));
       },
       kArchiveLine, "Error: Could not extract payload data from archive.\n"},
      {"manifest declares 200 bytes and inflates to 1 GiB",
       [] { return package_with(bomb_entry("unit/manifest.json", 200), stored_entry("unit/payload.bin", kPayload)); },
       kArchiveLine, "Error: Could not extract manifest data from archive.\n"},
      // Each record alone is within the cap; read them all and the work is
      // a hundred times the cap.
      {"100 directory records share one 16 MiB payload stream",
       [] { return package_with(stored_entry("unit/manifest.json", kManifest), shared_payload(100)); },
       kArchiveLine, "Error: Payload data in archive is too large.\n"},
      // Methods the zip layer does not read, with data it never gets to.
      {"LZMA payload",
       [] { return package_with(stored_entry("unit/manifest.json", kManifest), {"unit/payload.bin", "\x09\x14\x05", 14, 0, 64}); },
       kArchiveLine, "Error: Could not extract payload data from archive.\n"},
      // Whole and valid: a libzip built with LZMA (Debian 13's) would read it.
      {"LZMA payload that LZMA reads",
       [] {
         return package_with(stored_entry("unit/manifest.json", kManifest),
                             {"unit/payload.bin",
                              std::string("\x09\x04\x05\x00\x5d\x00\x00\x80\x00\x00\x2a\x93\xc6\xab\x87"
                                          "\xd0\xca\xda\xc7\xbf\xff\xff\xf4\x04\x00\x00", 26),
                              14, 0xe7e46662, 64});
       },
       kArchiveLine, "Error: Could not extract payload data from archive.\n"},
      {"Deflate64 payload",
       [] { return package_with(stored_entry("unit/manifest.json", kManifest), {"unit/payload.bin", "\x03\x00", 9, 0, 64}); },
       kArchiveLine, "Error: Could not extract payload data from archive.\n"},
      {"PPMd manifest",
       [] { return package_with({"unit/manifest.json", "\x07\x00", 98, 0, 64}, stored_entry("unit/payload.bin", kPayload)); },
       kArchiveLine, "Error: Could not extract manifest data from archive.\n"},
      {"payload declares 4 GiB",
       [] {
         return package_with(stored_entry("unit/manifest.json", kManifest),
                             bomb_entry("unit/payload.bin", uint64_t{1} << 32));
       },
       kArchiveLine, "Error: Payload data in archive is too large.\n"},
      {"manifest declares 4 GiB",
       [] {
         return package_with(bomb_entry("unit/manifest.json", uint64_t{1} << 32),
                             stored_entry("unit/payload.bin", kPayload));
       },
       kArchiveLine, "Error: Manifest data in archive is too large.\n"},
      // The package is complete only at the very end, so the whole directory
      // is walked; the payload then fails its own check.
      {"100,000 entries",
       [] {
         std::vector<RawEntry> entries;
         entries.reserve(100000);
         for (int i = 0; i < 99998; ++i) entries.push_back(stored_entry("junk/" + std::to_string(i), ""));
         entries.push_back(stored_entry("unit/manifest.json", kManifest));
         entries.push_back(stored_entry("unit/payload.bin", "UMOD" + kPayload));
         return entries;
       },
       kAllLines, "Error: Binary magic bytes do not match the manifest's declared target module.\n"},
      {"arrays nested 10,000 levels", [] { return with_manifest(nested(10000, "[", "]")); }, kManifestLines,
       "Manifest is nested too deeply. (more than 64 levels)\n" + kParseFailed},
      {"objects nested 10,000 levels",
       [] { return with_manifest(nested(10000, "{\"header\": ", "}")); }, kManifestLines,
       "Manifest is nested too deeply. (more than 64 levels)\n" + kParseFailed},
      {"manifest one byte over 16 MiB",
       [] { return with_manifest(padded_manifest(manifest("vestrel", "Saw"), kMaxEntrySize + 1)); },
       kArchiveLine, "Error: Manifest data in archive is too large.\n"},
      // Read whole by the JSON reader before validation refuses it.
      {"manifest of 16 MiB with one long member",
       [] { return with_manifest(padded_manifest("{\"header\": {\"platform\": \"nonesuch\"}", kMaxEntrySize)); },
       kManifestLines, "Invalid target platform. (nonesuch)\n" + kParseFailed},
      {"manifest of 16 MiB of values",
       [] {
         std::string text = "[0";
         while (text.size() < kMaxEntrySize - 1) text += ",0";
         return with_manifest(text.substr(0, kMaxEntrySize - 1) + "]");
       },
       kManifestLines, "Manifest holds too many values. (more than 16384)\n" + kParseFailed},
      {"unit name with an escape sequence",
       [] { return with_manifest(manifest("vestrel", "\\u001b[2JSaw")); }, kManifestLines,
       "Invalid name format. Expected printable ASCII.\n\n" + kParseFailed},
      {"unit name with a raw control byte",
       [] { return with_manifest(manifest("vestrel", "Sa\x07w")); }, kManifestLines,
       "<unspecified file>(1): invalid code sequence\n" + kParseFailed},
      {"parameter name with a zero byte",
       [] {
         return with_manifest(
             "{\"header\": {\"platform\": \"vestrel\", \"module\": \"osc\", \"api\": \"1.1-0\", "
             "\"dev_id\": 0, \"prg_id\": 1, \"version\": \"1.0-0\", \"name\": \"Saw\", "
             "\"num_param\": 1, \"params\": [[\"a\\u0000b\", 0, 100, \"%\"]]}}");
       },
       kManifestLines, "Invalid param name format. Expected printable ASCII.\n\n" + kParseFailed},
      {"entry names with control bytes",
       [] {
         return package_with(stored_entry("unit/manifest.json\x07", kManifest),
                             stored_entry("unit/\x1b[2Jpayload.bin", kPayload));
       },
       kArchiveLine, "Error: Could not find manifest data in archive.\n"},
      {"zero byte inside the manifest",
       [] {
         std::string text = kManifest;
         text[text.find("\"module\"")] = '\0';
         return with_manifest(text);
       },
       kManifestLines, "<unspecified file>(1): expected key string\n" + kParseFailed},
      {"manifest of zero bytes only",
       [] { return with_manifest(std::string(1 << 20, '\0')); }, kManifestLines,
       "<unspecified file>(1): expected value\n" + kParseFailed},
  };
  return all;
}

// Sanitizer runtimes keep freed memory in quarantine and map shadow memory,
// so their bound is looser; both stay far below what the inputs inflate to.
constexpr long kMemoryBoundKiB = (kSanitizedBuild ? 512 : 96) * 1024;
// A bound on a hang, not a measure of speed: the emulator and the sanitizers
// take many times as long over the largest archives.
constexpr int kTimeLimitMs = kSanitizedBuild ? 60000 : kEmulatedBuild ? 120000 : 20000;

void PrintTo(const Case& c, std::ostream* os) { *os << c.what; }

std::string file_name(const std::string& what) {
  std::string name = what;
  for (char& ch : name) {
    if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
  }
  return name;
}

// bench/hostile-inputs.sh measures the inputs outside the tests: it names a
// folder in QUAVE_HOSTILE_INPUTS, and each input is copied there.
void keep_for_measuring(const std::string& what, const std::string& bytes) {
  if (const char* dir = std::getenv("QUAVE_HOSTILE_INPUTS"))
    write_file(std::string(dir) + "/" + file_name(what) + ".vstlunit", bytes);
}

class HostileArchive : public ::testing::TestWithParam<Case> {};

TEST_P(HostileArchive, FailsWithItsErrorLine) {
  const Case& c = GetParam();
  TempDir dir;
  const std::string path = dir.file("hostile.vstlunit");
  const std::string bytes = raw_zip(c.entries());
  write_file(path, bytes);
  keep_for_measuring(c.what, bytes);
  const LimitedResult r = run_limited({cli_path(), "check", "--unit", path}, kTimeLimitMs);
  EXPECT_FALSE(r.timed_out);
  EXPECT_EQ(r.signal, 0);
  EXPECT_EQ(r.run.exit_code, 1);
  EXPECT_EQ(r.run.out, c.out);
  EXPECT_EQ(r.run.err, c.err);
  EXPECT_LT(r.peak_rss_kib, kMemoryBoundKiB);
}

INSTANTIATE_TEST_SUITE_P(Inputs, HostileArchive, ::testing::ValuesIn(cases()),
                         [](const auto& info) { return file_name(info.param.what); });

// Every cut of a real package either fails to open or fails a later step;
// none is taken for a package.
TEST(HostileArchive, TruncatedPackagesFail) {
  const std::string whole = read_file(source_dir() + "/examples/sawtooth.vstlunit");
  ASSERT_GT(whole.size(), 200u);
  TempDir dir;
  const std::string path = dir.file("cut.vstlunit");
  const std::string open_error = "Error: Could not open unit archive file at \"" + path + "\"\n";
  for (size_t keep : {whole.size() - 1, whole.size() - 22, whole.size() / 2, size_t{100}, size_t{22},
                      size_t{1}}) {
    SCOPED_TRACE("kept " + std::to_string(keep) + " of " + std::to_string(whole.size()) + " bytes");
    write_file(path, whole.substr(0, keep));
    keep_for_measuring("truncated to " + std::to_string(keep) + " bytes", whole.substr(0, keep));
    const LimitedResult r = run_limited({cli_path(), "check", "--unit", path}, kTimeLimitMs);
    EXPECT_FALSE(r.timed_out);
    EXPECT_EQ(r.run.exit_code, 1);
    EXPECT_EQ(r.run.out, kArchiveLine);
    EXPECT_EQ(r.run.err, open_error);
  }
}

TEST(HostileArchive, PathWithControlBytesIsQuotedAsGiven) {
  TempDir dir;
  const std::string path = dir.file("a\x1b[2J\nb.vstlunit");
  const LimitedResult r = run_limited({cli_path(), "check", "--unit", path}, kTimeLimitMs);
  EXPECT_EQ(r.run.exit_code, 1);
  EXPECT_EQ(r.run.out, kArchiveLine);
  EXPECT_EQ(r.run.err, "Error: Could not open unit archive file at \"" + path + "\"\n");
}

// The inputs above are only as hostile as their builders are right: the same
// bomb, declared truthfully, must inflate to exactly what it claims.
TEST(HostileArchiveBuilders, ZeroBombInflatesToItsSize) {
  const uint64_t matches = 4000;
  const std::string zeros(zero_bomb_size(matches), '\0');
  const uint32_t crc = crc32(reinterpret_cast<const uint8_t*>(zeros.data()), zeros.size());
  TempDir dir;
  const std::string path = dir.file("bomb.vstlunit");
  write_file(path, raw_zip({stored_entry("unit/manifest.json", kManifest),
                            {"unit/payload.bin", zero_bomb(matches), 8, crc, zeros.size()}}));
  PackageReport report;
  const auto package = read_unit_package(path, report);
  ASSERT_TRUE(package);
  EXPECT_EQ(package->payload_size, zeros.size());
  EXPECT_EQ(std::string(package->payload.begin(), package->payload.end()), zeros);
  EXPECT_LT(zero_bomb(matches).size() * 900, zeros.size());
}

}  // namespace
}  // namespace quave::test::hostile_input_tests
