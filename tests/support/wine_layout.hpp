// Debian's Wine starts without a preloader, so the kernel puts its loader's
// heap anywhere in the gigabyte above the loader. About one start in a few
// thousand that heap covers 0x7ffe0000, the page Windows keeps there, and
// Wine exits with 1 before the program runs, saying why only on a debug
// channel the tests silence. Without randomization the heap starts right
// after the loader, far below.
#pragma once

#include <stdio.h>
#include <sys/personality.h>

namespace quave::test {

// Turns address randomization off for this process and every Wine process
// it starts; false (with the reason on standard error) when it cannot.
inline bool fix_wine_address_layout() {
  if (personality(personality(0xffffffff) | ADDR_NO_RANDOMIZE) != -1) return true;
  perror("personality");
  return false;
}

}  // namespace quave::test
