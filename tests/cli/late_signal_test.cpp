// An interruption that comes after a command's last wait still ends the
// program by that signal, once the command has finished its output: its
// caller must not take it for an ordinary success.
#include <gtest/gtest.h>
#include <signal.h>

#include <string>

#include "base/interrupt.hpp"
#include "cli/commands.hpp"

namespace quave::test::late_signal_tests {
namespace {

TEST(LateSignal, EndsTheProgramAfterACommandThatSucceeded) {
  // The child runs anew rather than as a fork of a process that may hold
  // threads.
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  const std::string example = std::string(QUAVE_SOURCE_DIR) + "/examples/sawtooth.vstlunit";
  std::string args[] = {"quave-cli", "check", "--unit", example};
  char* argv[] = {args[0].data(), args[1].data(), args[2].data(), args[3].data(), nullptr};
  EXPECT_EXIT(
      {
        note_interrupt(SIGTERM);
        dispatch(4, argv);
        std::exit(0);
      },
      ::testing::KilledBySignal(SIGTERM), "");
}

}  // namespace
}  // namespace quave::test::late_signal_tests
