// The tests' own process runner: whatever the program leaves behind, a run
// ends within its limit.
#include <gtest/gtest.h>

#include "tests/support/limited_process.hpp"

namespace quave::test {
namespace {

TEST(RunLimited, OutputHeldOpenByAnOrphanEndsAtTheLimit) {
  // The shell exits at once; the sleep it leaves behind keeps both pipes
  // open for seconds after the limit (a Wine server or service does so).
  const LimitedResult r =
      run_limited({"/bin/sh", "-c", "sleep 4 & echo started; echo err >&2"}, 500);
  EXPECT_TRUE(r.timed_out);
  EXPECT_EQ(r.run.out, "started\n");
  EXPECT_EQ(r.run.err, "err\n");
  EXPECT_EQ(r.run.exit_code, 0);
  EXPECT_LT(r.seconds, 3.5);
}

}  // namespace
}  // namespace quave::test
