// The progress line of a long load.
#include <gtest/gtest.h>

#include "cli/send_progress.hpp"

namespace quave {
namespace {

TEST(SendProgress, SaysBytesShareAndRate) {
  struct Row {
    size_t sent, total;
    uint64_t elapsed_us;
    const char* text;
  };
  const Row rows[] = {
      {0, 18734, 0, "Sending 0 of 18734 bytes (0%)"},
      {4096, 16384, 1310720, "Sending 4096 of 16384 bytes (25%), 3125 B/s"},
      {10239, 20000, 1000000, "Sending 10239 of 20000 bytes (51%), 10239 B/s"},
      {10240, 20000, 1000000, "Sending 10240 of 20000 bytes (51%), 10.0 KiB/s"},
      {18734, 18734, 285000, "Sending 18734 of 18734 bytes (100%), 64.1 KiB/s"},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(progress_text(row.sent, row.total, row.elapsed_us), row.text);
  }
}

}  // namespace
}  // namespace quave
