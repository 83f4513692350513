#include <windows.h>

#include <cstdio>
#include <iostream>

#include "base/process_end.hpp"

namespace quave {

// Under Wine with its ALSA MIDI driver loaded, a normal exit races a thread
// of the driver's, which at times dies with a segmentation fault after a
// clean run. Ending the process at once, output written, leaves no race.
int end_process(int code) {
  std::cout.flush();
  std::cerr.flush();
  std::fflush(nullptr);
  TerminateProcess(GetCurrentProcess(), static_cast<UINT>(code));
  return code;
}

}  // namespace quave
