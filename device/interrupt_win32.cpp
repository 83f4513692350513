#include <windows.h>

#include <atomic>
#include <csignal>

#include "device/interrupt.hpp"

namespace quave {

namespace {

std::atomic<int> caught{0};

// Runs on a thread the system starts for the event. Claiming Ctrl-C and
// Ctrl-Break keeps the process alive until the command's next polling turn,
// which closes the ports the normal way. A closed console window ends the
// process once this returns, so that case waits here a little (the system
// allows five seconds) for the command to close its ports and exit first.
BOOL WINAPI on_console_event(DWORD event) {
  switch (event) {
    case CTRL_C_EVENT:
      caught = SIGINT;
      return TRUE;
    case CTRL_BREAK_EVENT:
      caught = SIGBREAK;
      return TRUE;
    case CTRL_CLOSE_EVENT:
      caught = SIGTERM;
      Sleep(3000);
      return TRUE;
    default:
      return FALSE;
  }
}

}  // namespace

void catch_interrupts() { SetConsoleCtrlHandler(on_console_event, TRUE); }

int interrupt_signal() { return caught; }

void throw_if_interrupted() {
  if (const int signal = interrupt_signal()) throw Interrupted{signal};
}

}  // namespace quave
