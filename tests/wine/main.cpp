// The command-line tests again, run against the Windows program under Wine,
// and the device commands where Windows has no MIDI port.
// The build bakes in where both are; Wine gets a prefix of its own, stays
// quiet (its diagnostics would land in the program's standard error), and
// reads the arguments as UTF-8.
#include <gtest/gtest.h>
#include <stdlib.h>

#include "tests/support/wine_layout.hpp"

int main(int argc, char** argv) {
  // Another build of the program may be named from outside.
  setenv("QUAVE_TEST_CLI", QUAVE_WINDOWS_CLI, 0);
  setenv("QUAVE_TEST_EMULATOR", QUAVE_WINE, 1);
  setenv("WINEPREFIX", QUAVE_WINE_PREFIX, 1);
  setenv("WINEDEBUG", "-all", 1);
  // This machine has no ALSA sequencer, so Wine's MIDI driver has nothing to
  // offer and would only say so on standard error; nor a display, which
  // Wine 10's Wayland driver says on standard error at every start.
  setenv("WINEDLLOVERRIDES", "winealsa.drv,winewayland.drv=d", 1);
  setenv("LC_ALL", "C.UTF-8", 1);
  // Wine 10's server crashes when TMPDIR is set and /run/user/<uid> is
  // missing, as on a machine without a login session.
  unsetenv("TMPDIR");
  if (!quave::test::fix_wine_address_layout()) return 1;
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
