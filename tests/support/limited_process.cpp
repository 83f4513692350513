#include "tests/support/limited_process.hpp"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <malloc.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <algorithm>
#include <chrono>
#include <cstring>
#include <stdexcept>

namespace quave::test {

namespace {
constexpr std::chrono::milliseconds kPipeGrace{2000};
}  // namespace

LimitedResult run_limited(const std::vector<std::string>& argv, int time_limit_ms,
                          const std::vector<std::string>& extra_env, TimedSignal timed_signal) {
  int out_pipe[2], err_pipe[2];
  if (pipe2(out_pipe, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
  if (pipe2(err_pipe, O_CLOEXEC) != 0) {
    close(out_pipe[0]);
    close(out_pipe[1]);
    throw std::runtime_error("pipe failed");
  }

  ExecVectors exec(argv, extra_env);

  // The child's peak resident set counts the memory it starts with: spawned
  // through vfork that is the peak of this whole test process, forked it is
  // what this process holds now, which freed memory handed back keeps small.
  malloc_trim(0);
  using Clock = std::chrono::steady_clock;
  const Clock::time_point start = Clock::now();
  const pid_t pid = fork();
  if (pid == 0) {
    // Only calls that are safe in the child of a threaded process.
    const int null_fd = open("/dev/null", O_RDONLY);
    if (null_fd < 0 || dup2(null_fd, 0) < 0 || dup2(out_pipe[1], 1) < 0 ||
        dup2(err_pipe[1], 2) < 0) {
      _exit(127);
    }
    execve(exec.args[0], exec.args.data(), exec.env.data());
    _exit(127);
  }
  const int rc = pid < 0 ? errno : 0;
  close(out_pipe[1]);
  close(err_pipe[1]);
  if (rc != 0) {
    close(out_pipe[0]);
    close(err_pipe[0]);
    throw std::runtime_error("cannot start " + argv[0] + ": " + std::strerror(rc));
  }

  LimitedResult result;
  const Clock::time_point deadline = start + std::chrono::milliseconds(time_limit_ms);
  const Clock::time_point signal_at = start + std::chrono::milliseconds(timed_signal.after_ms);
  bool signal_due = timed_signal.signal != 0;
  pollfd fds[2] = {{out_pipe[0], POLLIN, 0}, {err_pipe[0], POLLIN, 0}};
  std::string* sinks[2] = {&result.run.out, &result.run.err};
  int open_count = 2;
  char buf[4096];
  while (open_count > 0) {
    int wait_ms = -1;
    if (signal_due && Clock::now() >= signal_at) {
      kill(pid, timed_signal.signal);
      signal_due = false;
    }
    if (!result.timed_out) {
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
      if (left <= 0) {
        // Its pipes close when it dies, which ends this loop, unless a
        // process it started holds them: that one gets a short while more.
        kill(pid, SIGKILL);
        result.timed_out = true;
      } else {
        wait_ms = static_cast<int>(left);
      }
    }
    if (result.timed_out) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                            deadline + kPipeGrace - Clock::now()).count();
      if (left <= 0) break;
      wait_ms = static_cast<int>(left);
    }
    if (signal_due) {
      const auto to_signal =
          std::chrono::duration_cast<std::chrono::milliseconds>(signal_at - Clock::now()).count();
      wait_ms = wait_ms < 0 ? static_cast<int>(std::max<long>(to_signal, 0))
                            : std::min(wait_ms, static_cast<int>(std::max<long>(to_signal, 0)));
    }
    if (poll(fds, 2, wait_ms) < 0) {
      if (errno == EINTR) continue;
      break;
    }
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
      const ssize_t n = read(fds[i].fd, buf, sizeof buf);
      if (n > 0) {
        sinks[i]->append(buf, static_cast<size_t>(n));
      } else {
        close(fds[i].fd);
        fds[i].fd = -1;
        --open_count;
      }
    }
  }
  for (pollfd& f : fds) {
    if (f.fd >= 0) close(f.fd);
  }

  // A program may close its output and go on running: the limit holds here too.
  int status = 0;
  rusage usage{};
  for (;;) {
    const pid_t done = wait4(pid, &status, WNOHANG, &usage);
    if (done == pid || (done < 0 && errno != EINTR)) break;
    if (!result.timed_out && Clock::now() >= deadline) {
      kill(pid, SIGKILL);
      result.timed_out = true;
    }
    usleep(2000);
  }
  result.seconds = std::chrono::duration<double>(Clock::now() - start).count();
  result.peak_rss_kib = usage.ru_maxrss;
  result.run.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  result.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
  return result;
}

}  // namespace quave::test
