#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/cli/expected_texts.hpp"
#include "tests/support/process.hpp"
#include "tests/support/raw_zip.hpp"
#include "tests/support/zip_writer.hpp"

namespace quave::test {
namespace {

std::string manifest(const std::string& platform, const std::string& module, const std::string& name,
                     const std::string& params = "\"num_param\": 0") {
  return "{\"header\": {\"platform\": \"" + platform + "\", \"module\": \"" + module +
         "\", \"api\": \"1.1-0\", \"dev_id\": 0, \"prg_id\": 1, \"version\": \"1.0-0\", \"name\": \"" +
         name + "\", " + params + "}}";
}

const std::string kOscPayload = "UOSC" + std::string(64, '\x5a');
const std::string kValid = manifest("vestrel", "osc", "Saw");
const std::string kLongName = "Supersawtooth wave";

struct Case {
  const char* what;
  std::string file_name;
  std::string manifest_text;
  std::string payload;
  std::string out;
  std::string err;
  int exit_code;
};

class Check : public ::testing::TestWithParam<Case> {};

TEST_P(Check, PrintsAndExitsExactly) {
  const Case& c = GetParam();
  TempDir dir;
  const std::string path = dir.file(c.file_name);
  write_zip(path, {{"unit/manifest.json", c.manifest_text}, {"unit/payload.bin", c.payload}});
  const ProcessResult r = run_cli({"check", "--unit", path});
  EXPECT_EQ(r.out, c.out);
  EXPECT_EQ(r.err, c.err);
  EXPECT_EQ(r.exit_code, c.exit_code);
}

INSTANTIATE_TEST_SUITE_P(
    Packages, Check,
    ::testing::Values(
        Case{"valid", "saw.vstlunit", kValid, kOscPayload, kAllSteps + "> Looks okay.\n", "", 0},
        Case{"clipped name", "saw.vstlunit", manifest("vestrel", "osc", kLongName), kOscPayload,
             kArchiveLine +
                 "> Parsing manifest\n"
                 "Warnings: \n"
                 "Warning: name clipped to 13chars.\n"
                 "\n"
                 "> Parsing unit binary payload\n"
                 "> Looks okay.\n",
             "", 0},
        // The warnings are written once, before the payload fails.
        Case{"clipped name, wrong magic", "saw.vstlunit", manifest("vestrel", "osc", kLongName), "UMOD",
             kArchiveLine +
                 "> Parsing manifest\n"
                 "Warnings: \n"
                 "Warning: name clipped to 13chars.\n"
                 "\n"
                 "> Parsing unit binary payload\n",
             "Error: Binary magic bytes do not match the manifest's declared target module.\n", 1},
        Case{"not json", "saw.vstlunit", "name = saw\n", kOscPayload, kArchiveLine + "> Parsing manifest\n",
             "<unspecified file>(1): expected 'null'\nError: Could not parse manifest data.\n", 1},
        Case{"zero-byte manifest", "saw.vstlunit", "", kOscPayload, kArchiveLine + "> Parsing manifest\n",
             "<unspecified file>(1): expected value\nError: Could not parse manifest data.\n", 1},
        Case{"modfx manifest, oscillator payload", "fx.vstlunit", manifest("vestrel", "modfx", "Chorus"),
             kOscPayload, kAllSteps,
             "Error: Binary magic bytes do not match the manifest's declared target module.\n", 1},
        Case{"empty payload", "saw.vstlunit", kValid, "", kAllSteps,
             "Error: Binary magic bytes do not match the manifest's declared target module.\n", 1},
        Case{"platform differs from extension", "saw.vstlunit", manifest("halvane-rx", "osc", "Saw"),
             kOscPayload, kArchiveLine + "> Parsing manifest\n",
             "Expected target platform \"vestrel\", found \"halvane-rx\"\n"
             "Error: Could not parse manifest data.\n",
             1},
        Case{"no extension accepts any platform", "saw", manifest("halvane-rx", "osc", "Saw"), kOscPayload,
             "> Parsing unknown unit archive\n> Parsing manifest\n> Parsing unit binary payload\n"
             "> Looks okay.\n",
             "", 0},
        // When the manifest fails, its warnings go with the error.
        Case{"warning then error", "saw.vstlunit",
             manifest("vestrel", "osc", kLongName, "\"num_param\": 1, \"params\": [[\"a\", 0, 1]]"),
             kOscPayload, kArchiveLine + "> Parsing manifest\n",
             "Warning: name clipped to 13chars.\n"
             "Parameter descriptor #0 has invalid length.\n"
             "Error: Could not parse manifest data.\n",
             1},
        Case{"missing member", "saw.vstlunit", "{\"header\": {\"platform\": \"vestrel\"}}", kOscPayload,
             kArchiveLine + "> Parsing manifest\n",
             "No such node (header.module)\nError: Could not parse manifest data.\n", 1}),
    [](const auto& info) {
      std::string name = info.param.what;
      for (char& ch : name) {
        if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
      }
      return name;
    });

// Stored, deflated and bzip2 entries are read on every system, the Windows
// program included (its libzip is built here, with bzip2).
TEST(CheckCommand, Bzip2EntriesAreRead) {
  static const char manifest_bz2[] =
      "\x42\x5a\x68\x39\x31\x41\x59\x26\x53\x59\x10\xbe\x37\xdd\x00\x00\x46\x9b\x80\x50\x07\x60\x10\x08"
      "\x00\xaf\xe7\xdf\x8a\x20\x00\x74\x1a\xa7\x90\x26\x9e\x84\x34\x68\x1e\xa6\x81\xa7\xaa\x83\x20\x68"
      "\x64\x68\x00\x7b\x52\xc8\x10\xca\xf7\xc8\xf1\xca\x7a\xc5\x4e\x41\xc3\x9b\xd1\x20\x6c\x59\x5d\x14"
      "\x0b\x35\x54\x40\x4e\x03\x0b\xf2\x92\x4a\x3f\xcd\x6c\xb5\x1d\x3d\x52\x0a\x96\xcc\x17\xac\xc6\x6a"
      "\x27\xa3\x2e\xfa\x19\x42\x84\x29\x9d\xd8\x8f\x31\x91\xc9\x22\xd2\x43\x74\xa7\x56\xc4\x3b\xee\x0b"
      "\xbf\xc5\xdc\x91\x4e\x14\x24\x04\x2f\x8d\xf7\x40";
  static const char payload_bz2[] =
      "\x42\x5a\x68\x39\x31\x41\x59\x26\x53\x59\x86\x8d\xaa\x87\x00\x00\x02\x0e\x00\x00\x04\x08\x00\x8a"
      "\x10\x20\x00\x22\x0d\x3c\x83\x00\x45\x0d\x68\xbb\x92\x29\xc2\x84\x84\x34\x6d\x54\x38";
  // kValid and kOscPayload, compressed with bzip2 (method 12).
  const std::vector<RawEntry> entries = {
      {"unit/manifest.json", std::string(manifest_bz2, sizeof manifest_bz2 - 1), 12, 0x12d05658, 145},
      {"unit/payload.bin", std::string(payload_bz2, sizeof payload_bz2 - 1), 12, 0xf63c5fa1, 68},
  };
  TempDir dir;
  const std::string path = dir.file("saw.vstlunit");
  std::ofstream(path, std::ios::binary) << raw_zip(entries);
  const ProcessResult r = run_cli({"check", "-u", path});
  EXPECT_EQ(r.out, kAllSteps + "> Looks okay.\n");
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.exit_code, 0);
}

TEST(CheckCommand, FolderAndMissingPayload) {
  TempDir dir;
  ProcessResult r = run_cli({"check", "-u", dir.path()});
  EXPECT_EQ(r.out, "> Parsing unknown unit archive\n");
  EXPECT_EQ(r.err, "Error: Could not open unit archive file at \"" + dir.path() + "\"\n");
  EXPECT_EQ(r.exit_code, 1);

  const std::string path = dir.file("saw.hlvnrxunit");
  write_zip(path, {{"unit/manifest.json", kValid}});
  r = run_cli({"check", "-u", path});
  EXPECT_EQ(r.out, "> Parsing halvane rx unit archive\n");
  EXPECT_EQ(r.err, "Error: Could not find payload data in archive.\n");
  EXPECT_EQ(r.exit_code, 1);
}

TEST(CheckCommand, BundledExamplesPass) {
  const std::filesystem::path examples = std::filesystem::path(source_dir()) / "examples";
  std::vector<std::string> packages;
  for (const auto& entry : std::filesystem::directory_iterator(examples)) {
    const std::string ext = entry.path().extension().string();
    if (ext == ".vstlunit" || ext == ".hlvnrxunit" || ext == ".orvtonunit")
      packages.push_back(entry.path().string());
  }
  // One per platform at least, and the oscillator the README names.
  EXPECT_GE(packages.size(), 3u);
  EXPECT_TRUE(std::filesystem::exists(examples / "sawtooth.vstlunit"));
  for (const auto& package : packages) {
    const ProcessResult r = run_cli({"check", "--unit", package});
    EXPECT_EQ(r.err, "") << package;
    EXPECT_EQ(r.exit_code, 0) << package;
    EXPECT_NE(r.out.find("> Looks okay.\n"), std::string::npos) << package;
  }
}

}  // namespace
}  // namespace quave::test
