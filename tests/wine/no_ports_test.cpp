// The device commands through the Windows MIDI path (the linked library, its
// multimedia backend, the quiet standard error) where Windows has no MIDI
// port at all: the same texts and exit codes as on Linux.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/e2e/device_texts.hpp"
#include "tests/support/process.hpp"

// A namespace of its own: the test files of a program compile together.
namespace quave::test::no_ports_tests {
namespace {

struct Case {
  std::vector<std::string> args;
  std::string out;
  std::string err;
  int exit_code;
};

class NoPorts : public ::testing::TestWithParam<Case> {};

TEST_P(NoPorts, PrintsAndExitsAsOnLinux) {
  const Case& c = GetParam();
  expect_run(run_cli(c.args), c.exit_code, c.out, c.err);
}

INSTANTIATE_TEST_SUITE_P(
    DeviceCommands, NoPorts,
    ::testing::Values(
        Case{{"probe", "-l"}, kNoPorts + "\n", "", 0},
        Case{{"probe"}, "", kNoMatch + kNoPortsFailure, 1},
        Case{{"probe", "-i", "0", "-o", "0"}, "", "Error: Could not open quave input port.\n" + kNoPortsFailure, 1},
        Case{{"load", "-u", source_dir() + "/examples/sawtooth.vstlunit"},
             "> Parsing vestrel unit archive\n> Parsing manifest\n"
             "> Parsing unit binary payload\n> Handshaking...\n",
             kNoMatch + "Error: " + kNoPortsFailure, 1},
        Case{{"clear", "-m", "osc", "-a"}, "> Handshaking...\n", kNoMatch + "Error: " + kNoPortsFailure, 1}));

}  // namespace
}  // namespace quave::test::no_ports_tests
