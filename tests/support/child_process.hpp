// A background program for a test: a JACK server or a simulator. It is
// killed when the test process dies, so nothing outlives a crashed test.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace quave::test {

class ChildProcess {
 public:
  // Starts `argv` with `extra_env` added, standard input from /dev/null and
  // its output appended to the two files. Throws when it cannot start.
  ChildProcess(const std::vector<std::string>& argv, const std::vector<std::string>& extra_env,
               const std::string& out_path, const std::string& err_path);
  ~ChildProcess();  // stop()
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  bool running();
  // SIGTERM, then SIGKILL once `grace_ms` has passed; waits for the end.
  // Returns false when SIGKILL was needed.
  bool stop(int grace_ms = 5000);
  // SIGKILL, for tests of a peer that dies without cleaning up.
  void kill_now();
  // Each thread's state, wait channel and kernel stack, read from /proc
  // while it runs: where a process that will not end is waiting.
  std::string threads() const;
  // threads() as it was when stop() gave up on SIGTERM; empty until then.
  const std::string& stuck() const { return stuck_; }
  // How it ended: the exit code, or 128 + signal; -1 while it runs.
  int status() const { return status_; }

 private:
  bool reap(int wait_ms);

  pid_t pid_ = -1;
  int status_ = -1;
  std::string stuck_;
};

}  // namespace quave::test
