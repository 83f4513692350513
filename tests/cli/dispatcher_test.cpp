#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/cli/expected_texts.hpp"
#include "tests/support/process.hpp"

namespace quave::test {
namespace {

struct DispatchCase {
  std::vector<std::string> args;
  std::string out;
  std::string err;
  int exit_code;
};

const std::string kNoUnit = "Error: Must specify a unit path.\n\n";

class Dispatch : public ::testing::TestWithParam<DispatchCase> {};

TEST_P(Dispatch, PrintsAndExitsExactly) {
  const DispatchCase& c = GetParam();
  const ProcessResult r = run_cli(c.args);
  EXPECT_EQ(r.out, c.out);
  EXPECT_EQ(r.err, c.err);
  EXPECT_EQ(r.exit_code, c.exit_code);
}

INSTANTIATE_TEST_SUITE_P(
    CommandLines, Dispatch,
    ::testing::Values(
        DispatchCase{{}, kGlobalUsage, "", 1},
        DispatchCase{{"--help"}, kGlobalUsage, "", 1},
        DispatchCase{{"--version"}, kGlobalUsage, "", 1},
        DispatchCase{{"-h", "-V"}, kGlobalUsage, "", 1},
        DispatchCase{{"Check", "--version"}, kGlobalUsage, "", 1},
        DispatchCase{{"CLEAR"}, kGlobalUsage, "", 1},
        DispatchCase{{"checkx"}, kGlobalUsage, "", 1},
        DispatchCase{{"chec", "-V"}, kGlobalUsage, "", 1},
        // The command word may come as the global option's value.
        DispatchCase{{"--command=check", "--version"}, kBanner, "", 0},
        DispatchCase{{"--comm", "check", "-V"}, kBanner, "", 0},
        // The first of the two is stored, the second only fails to store.
        DispatchCase{{"--command=check", "probe"}, "", kNoUnit, 1},
        DispatchCase{{"--command=chec", "check", "-V"}, kGlobalUsage, "", 1},
        // Undeclared options are ignored and never take the next word.
        DispatchCase{{"-x", "check", "--bogus", "extra", "words", "-V"}, kBanner, "", 0},
        // ...which puts a value standing before the command word in its place.
        DispatchCase{{"-u", "unit.vstlunit", "check"}, kGlobalUsage, "", 1},
        DispatchCase{{"check"}, "", kNoUnit, 1},
        DispatchCase{{"check", "--help"}, kCheckHelp, "", 0},
        DispatchCase{{"check", "-h"}, kCheckHelp, "", 0},
        DispatchCase{{"check", "--he"}, kCheckHelp, "", 0},
        DispatchCase{{"check", "--version", "--help"}, kCheckHelp, "", 0},
        DispatchCase{{"check", "-Vh"}, kCheckHelp, "", 0},
        DispatchCase{{"check", "--vers"}, kBanner, "", 0},
        DispatchCase{{"check", "-V", "-u", "unit.vstlunit"}, kBanner, "", 0},
        DispatchCase{{"check", "--uni=missing"}, "> Parsing unknown unit archive\n",
             "Error: Could not open unit archive file at \"missing\"\n", 1},
        DispatchCase{{"check", "-umissing.orvtonunit"}, "> Parsing orvalt tonal unit archive\n",
             "Error: Could not open unit archive file at \"missing.orvtonunit\"\n", 1},
        DispatchCase{{"check", "--unit", ""}, "> Parsing unknown unit archive\n",
             "Error: Could not open unit archive file at \"\"\n", 1},
        // An empty value after "=" is a syntax error already to the
        // dispatcher's parse, which then stores nothing.
        DispatchCase{{"check", "--uni="}, kGlobalUsage, "", 1},
        DispatchCase{{"check", "--unit"}, "", check_parse_error("the required argument for option '--unit' is missing"), 1},
        DispatchCase{{"check", "-u", "a", "--unit", "b"}, "",
             check_parse_error("option '--unit' cannot be specified more than once"), 1},
        DispatchCase{{"check", "--u", "a"}, "> Parsing unknown unit archive\n",
             "Error: Could not open unit archive file at \"a\"\n", 1}));

}  // namespace
}  // namespace quave::test
