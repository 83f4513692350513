#include <windows.h>

#include <cstdio>
#include <iostream>

#include "base/process_end.hpp"

namespace quave {

// Under Wine with its ALSA MIDI driver loaded, a normal exit races a thread
// of the driver's, which at times dies with a segmentation fault after a
// clean run. Ending the process at once, output written, leaves no race.
namespace {

[[noreturn]] void end_now(UINT code) {
  std::cout.flush();
  std::cerr.flush();
  std::fflush(nullptr);
  TerminateProcess(GetCurrentProcess(), code);
  ExitProcess(code);  // not reached, which the compiler cannot know
}

}  // namespace

int end_process(int code) { end_now(static_cast<UINT>(code)); }

// A console program that Ctrl-C ends exits with STATUS_CONTROL_C_EXIT;
// shells and build tools know that status as an interruption.
void end_by_signal(int) { end_now(STATUS_CONTROL_C_EXIT); }

}  // namespace quave
