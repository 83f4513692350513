// The command-line tests again, run against the Windows program under Wine,
// and the device commands where Windows has no MIDI port.
// The build bakes in where the program, Wine's runner (scripts/wine-run) and
// a prefix of its own are; the arguments are read as UTF-8.
#include <gtest/gtest.h>
#include <stdlib.h>

int main(int argc, char** argv) {
  // Another build of the program may be named from outside.
  setenv("QUAVE_TEST_CLI", QUAVE_WINDOWS_CLI, 0);
  setenv("QUAVE_TEST_EMULATOR", QUAVE_WINE_RUN, 1);
  setenv("WINEPREFIX", QUAVE_WINE_PREFIX, 1);
  setenv("LC_ALL", "C.UTF-8", 1);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
