#include <windows.h>

#include <atomic>
#include <csignal>
#include <mutex>

#include "device/interrupt.hpp"

namespace quave {

namespace {

std::atomic<int> caught{0};
// Never destroyed: the system's thread for an event may run while the
// program's statics go.
std::mutex& waker_lock = *new std::mutex;
void (*waker)(void*) = nullptr;
void* waker_context = nullptr;

void note(int signal) {
  int none = 0;
  caught.compare_exchange_strong(none, signal);
  std::lock_guard<std::mutex> lock(waker_lock);
  if (waker) waker(waker_context);
}

// Runs on a thread the system starts for the event. Claiming Ctrl-C and
// Ctrl-Break keeps the process alive while the command's wait, woken,
// unwinds and closes the ports the normal way. A closed console window ends the
// process once this returns, so that case waits here a little (the system
// allows five seconds) for the command to close its ports and exit first.
BOOL WINAPI on_console_event(DWORD event) {
  switch (event) {
    case CTRL_C_EVENT:
      note(SIGINT);
      return TRUE;
    case CTRL_BREAK_EVENT:
      note(SIGBREAK);
      return TRUE;
    case CTRL_CLOSE_EVENT:
      note(SIGTERM);
      Sleep(3000);
      return TRUE;
    default:
      return FALSE;
  }
}

}  // namespace

void catch_interrupts() { SetConsoleCtrlHandler(on_console_event, TRUE); }

int interrupt_signal() { return caught; }

void on_interrupt(void (*wake)(void*), void* context) {
  std::lock_guard<std::mutex> lock(waker_lock);
  waker = wake;
  waker_context = context;
  if (wake && caught) wake(context);
}

void throw_if_interrupted() {
  if (const int signal = interrupt_signal()) throw Interrupted{signal};
}

}  // namespace quave
