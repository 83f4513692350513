// Unit paths in the forms Windows users type them. Wine shows this machine's
// root as drive Z:.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>

#include "tests/cli/expected_texts.hpp"
#include "tests/support/process.hpp"

// A namespace of its own: the test files of a program compile together.
namespace quave::test::paths_tests {
namespace {

std::string windows_path(std::string path, char separator) {
  std::replace(path.begin(), path.end(), '/', separator);
  return "Z:" + path;
}

struct Case {
  const char* what;
  std::string folder;
  std::string file;
  char separator;
};

class WindowsPath : public ::testing::TestWithParam<Case> {};

TEST_P(WindowsPath, OpensTheUnit) {
  const Case& c = GetParam();
  TempDir dir;
  const std::filesystem::path folder = std::filesystem::u8path(dir.file(c.folder));
  std::filesystem::create_directories(folder);
  std::filesystem::copy_file(source_dir() + "/examples/sawtooth.vstlunit",
                             folder / std::filesystem::u8path(c.file));
  const std::string path = windows_path(dir.file(c.folder + "/" + c.file), c.separator);

  ProcessResult r = run_cli({"check", "-u", path});
  EXPECT_EQ(r.out, kAllSteps + "> Looks okay.\n");
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.exit_code, 0);

  // A refusal names the path exactly as it was given.
  const std::string missing = windows_path(dir.file(c.folder + "/fehlt " + c.file), c.separator);
  r = run_cli({"check", "-u", missing});
  EXPECT_EQ(r.out, "> Parsing vestrel unit archive\n");
  EXPECT_EQ(r.err, "Error: Could not open unit archive file at \"" + missing + "\"\n");
  EXPECT_EQ(r.exit_code, 1);
}

INSTANTIATE_TEST_SUITE_P(
    Forms, WindowsPath,
    ::testing::Values(Case{"backslashes", "units", "saw.vstlunit", '\\'},
                      Case{"forward slashes", "units", "saw.vstlunit", '/'},
                      Case{"blanks", "my units", "saw tooth.vstlunit", '\\'},
                      // Letters outside every ANSI code page as well as in it.
                      Case{"non ASCII", "Kl\u00e4nge \u0159\u00e1d", "s\u00e4ge \u03c3.vstlunit", '\\'}),
    [](const auto& info) {
      std::string name = info.param.what;
      std::replace(name.begin(), name.end(), ' ', '_');
      return name;
    });

}  // namespace
}  // namespace quave::test::paths_tests
