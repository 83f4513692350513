#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/process.hpp"
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

const std::string kArchiveLine = "> Parsing vestrel unit archive\n";
const std::string kAllSteps = kArchiveLine +
                              "> Parsing manifest\n"
                              "> Parsing unit binary payload\n";

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
