#include "tests/support/terminal_run.hpp"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <stdexcept>

#include "tests/support/process.hpp"

namespace quave::test {

TerminalRun run_on_terminal(const std::vector<std::string>& argv, int time_limit_ms,
                            const std::vector<std::string>& extra_env) {
  const int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) {
    if (master >= 0) close(master);
    throw std::runtime_error("no pseudo-terminal");
  }
  const std::string slave_path = ptsname(master);
  ExecVectors exec(argv, extra_env);
  using Clock = std::chrono::steady_clock;
  const Clock::time_point start = Clock::now();
  const pid_t pid = fork();
  if (pid == 0) {
    // A session of its own, with the terminal as its controlling one.
    setsid();
    const int slave = open(slave_path.c_str(), O_RDWR);
    if (slave < 0 || dup2(slave, 0) < 0 || dup2(slave, 1) < 0 || dup2(slave, 2) < 0) _exit(127);
    execve(exec.args[0], exec.args.data(), exec.env.data());
    _exit(127);
  }
  if (pid < 0) {
    close(master);
    throw std::runtime_error("cannot start " + argv[0]);
  }
  TerminalRun run;
  const Clock::time_point deadline = start + std::chrono::milliseconds(time_limit_ms);
  bool killed = false;
  char buf[4096];
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0 && !killed) {
      kill(pid, SIGKILL);
      killed = true;
    }
    pollfd fd{master, POLLIN, 0};
    if (poll(&fd, 1, killed ? 2000 : static_cast<int>(left)) < 0) {
      if (errno == EINTR) continue;
      break;
    }
    if (fd.revents == 0) {
      if (killed) break;
      continue;
    }
    // Once the last holder of the terminal closes it, reads fail with EIO.
    const ssize_t n = read(master, buf, sizeof buf);
    if (n <= 0) break;
    run.drawn.append(buf, static_cast<size_t>(n));
  }
  close(master);
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  run.seconds = std::chrono::duration<double>(Clock::now() - start).count();
  run.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

std::string screen_of(const std::string& drawn) {
  std::vector<std::string> lines(1);
  size_t column = 0;
  for (const char c : drawn) {
    if (c == '\r') {
      column = 0;
    } else if (c == '\n') {
      lines.emplace_back();
      column = 0;
    } else {
      std::string& line = lines.back();
      if (line.size() <= column) line.resize(column + 1, ' ');
      line[column++] = c;
    }
  }
  for (std::string& line : lines) line.erase(line.find_last_not_of(' ') + 1);
  // The line the cursor ends on, where the shell's prompt comes next.
  if (lines.back().empty()) lines.pop_back();
  std::string screen;
  for (const std::string& line : lines) screen += line + "\n";
  return screen;
}

}  // namespace quave::test
