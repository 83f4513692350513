#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/cli/expected_texts.hpp"
#include "tests/support/process.hpp"

// A namespace of its own: the test files of a program compile together.
namespace quave::test::dispatcher_tests {
namespace {

struct Case {
  std::vector<std::string> args;
  std::string out;
  std::string err;
  int exit_code;
};

const std::string kNoUnit = "Error: Must specify a unit path.\n\n";

class Dispatch : public ::testing::TestWithParam<Case> {};

TEST_P(Dispatch, PrintsAndExitsExactly) {
  const Case& c = GetParam();
  const ProcessResult r = run_cli(c.args);
  EXPECT_EQ(r.out, c.out);
  EXPECT_EQ(r.err, c.err);
  EXPECT_EQ(r.exit_code, c.exit_code);
}

INSTANTIATE_TEST_SUITE_P(
    CommandLines, Dispatch,
    ::testing::Values(
        Case{{}, kGlobalUsage, "", 1},
        Case{{"--help"}, kGlobalUsage, "", 1},
        Case{{"--version"}, kGlobalUsage, "", 1},
        Case{{"-h", "-V"}, kGlobalUsage, "", 1},
        Case{{"Check", "--version"}, kGlobalUsage, "", 1},
        Case{{"CLEAR"}, kGlobalUsage, "", 1},
        Case{{"checkx"}, kGlobalUsage, "", 1},
        Case{{"chec", "-V"}, kGlobalUsage, "", 1},
        // The command word may come as the global option's value.
        Case{{"--command=check", "--version"}, kBanner, "", 0},
        Case{{"--comm", "check", "-V"}, kBanner, "", 0},
        // The first of the two is stored, the second only fails to store.
        Case{{"--command=check", "probe"}, "", kNoUnit, 1},
        Case{{"--command=chec", "check", "-V"}, kGlobalUsage, "", 1},
        // Undeclared options are ignored and never take the next word.
        Case{{"-x", "check", "--bogus", "extra", "words", "-V"}, kBanner, "", 0},
        // ...which puts a value standing before the command word in its place.
        Case{{"-u", "unit.vstlunit", "check"}, kGlobalUsage, "", 1},
        Case{{"check"}, "", kNoUnit, 1},
        Case{{"check", "--help"}, kCheckHelp, "", 0},
        Case{{"check", "-h"}, kCheckHelp, "", 0},
        Case{{"check", "--he"}, kCheckHelp, "", 0},
        Case{{"check", "--version", "--help"}, kCheckHelp, "", 0},
        Case{{"check", "-Vh"}, kCheckHelp, "", 0},
        Case{{"check", "--vers"}, kBanner, "", 0},
        Case{{"check", "-V", "-u", "unit.vstlunit"}, kBanner, "", 0},
        Case{{"check", "--uni=missing"}, "> Parsing unknown unit archive\n",
             "Error: Could not open unit archive file at \"missing\"\n", 1},
        Case{{"check", "-umissing.orvtonunit"}, "> Parsing orvalt tonal unit archive\n",
             "Error: Could not open unit archive file at \"missing.orvtonunit\"\n", 1},
        Case{{"check", "--unit", ""}, "> Parsing unknown unit archive\n",
             "Error: Could not open unit archive file at \"\"\n", 1},
        // An empty value after "=" is a syntax error already to the
        // dispatcher's parse, which then stores nothing.
        Case{{"check", "--uni="}, kGlobalUsage, "", 1},
        Case{{"check", "--unit"}, "", check_parse_error("the required argument for option '--unit' is missing"), 1},
        Case{{"check", "-u", "a", "--unit", "b"}, "",
             check_parse_error("option '--unit' cannot be specified more than once"), 1},
        Case{{"check", "--u", "a"}, "> Parsing unknown unit archive\n",
             "Error: Could not open unit archive file at \"a\"\n", 1}));

}  // namespace
}  // namespace quave::test::dispatcher_tests
