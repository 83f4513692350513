#include <windows.h>

#include <csignal>

#include "base/interrupt.hpp"

namespace quave {

namespace {

// Runs on a thread the system starts for the event. Claiming Ctrl-C and
// Ctrl-Break keeps the process alive while the command's wait, woken,
// unwinds and closes the ports the normal way. A closed console window ends
// the process once this returns, so that case waits here a little (the
// system allows five seconds) for the command to close its ports and exit
// first.
BOOL WINAPI on_console_event(DWORD event) {
  switch (event) {
    case CTRL_C_EVENT:
      note_interrupt(SIGINT);
      return TRUE;
    case CTRL_BREAK_EVENT:
      note_interrupt(SIGBREAK);
      return TRUE;
    case CTRL_CLOSE_EVENT:
      note_interrupt(SIGTERM);
      Sleep(3000);
      return TRUE;
    default:
      return FALSE;
  }
}

}  // namespace

void catch_interrupts() { SetConsoleCtrlHandler(on_console_event, TRUE); }

}  // namespace quave
