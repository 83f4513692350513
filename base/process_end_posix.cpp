#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include "base/console.hpp"
#include "base/process_end.hpp"

namespace quave {

int end_process(int code) { return code; }

void end_by_signal(int signal) {
  flush_both();
  ::signal(signal, SIG_DFL);
  // Pending while blocked; delivered, with its default action, on unblocking.
  raise(signal);
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, signal);
  pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
  _exit(128 + signal);
}

}  // namespace quave
