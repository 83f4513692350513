// The device commands through the Windows MIDI path (the linked library, its
// multimedia backend, the quiet standard error) where Windows has no MIDI
// port at all: the same texts and exit codes as on Linux.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/process.hpp"

namespace quave::test {
namespace {

const std::string kListing =
    "  Available MIDI inputs:\n\n"
    "  Available MIDI ouputs:\n\n";
const std::string kFailed = "Quave interface connection failed.\n" + kListing;
const std::string kNoMatch = "Error: Could not find matching quave MIDI ports.\n\n";

struct Case {
  std::vector<std::string> args;
  std::string out;
  std::string err;
  int exit_code;
};

class NoPorts : public ::testing::TestWithParam<Case> {};

TEST_P(NoPorts, PrintsAndExitsAsOnLinux) {
  const Case& c = GetParam();
  const ProcessResult r = run_cli(c.args);
  EXPECT_EQ(r.out, c.out);
  EXPECT_EQ(r.err, c.err);
  EXPECT_EQ(r.exit_code, c.exit_code);
}

INSTANTIATE_TEST_SUITE_P(
    DeviceCommands, NoPorts,
    ::testing::Values(
        Case{{"probe", "-l"}, kListing, "", 0},
        Case{{"probe"}, "", kNoMatch + kFailed, 1},
        Case{{"probe", "-i", "0", "-o", "0"}, "", "Error: Could not open quave input port.\n" + kFailed, 1},
        Case{{"load", "-u", source_dir() + "/examples/sawtooth.vstlunit"},
             "> Parsing vestrel unit archive\n> Parsing manifest\n"
             "> Parsing unit binary payload\n> Handshaking...\n",
             kNoMatch + "Error: " + kFailed, 1},
        Case{{"clear", "-m", "osc", "-a"}, "> Handshaking...\n", kNoMatch + "Error: " + kFailed, 1}));

}  // namespace
}  // namespace quave::test
