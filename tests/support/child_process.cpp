#include "tests/support/child_process.hpp"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <stdexcept>

#include "tests/support/process.hpp"

namespace quave::test {

ChildProcess::ChildProcess(const std::vector<std::string>& argv,
                           const std::vector<std::string>& extra_env,
                           const std::string& out_path, const std::string& err_path) {
  // Everything the child needs is prepared before the fork: between fork and
  // exec only async-signal-safe calls are allowed.
  ExecVectors exec(argv, extra_env);

  const int out = open(out_path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  const int err = open(err_path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  const int in = open("/dev/null", O_RDONLY | O_CLOEXEC);
  const pid_t parent = getpid();
  pid_ = (out < 0 || err < 0 || in < 0) ? -1 : fork();
  if (pid_ == 0) {
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    // The parent may have died before the line above took effect.
    if (getppid() != parent) _exit(127);
    dup2(in, 0);
    dup2(out, 1);
    dup2(err, 2);
    execve(exec.args[0], exec.args.data(), exec.env.data());
    const char text[] = "exec failed\n";
    (void)!write(2, text, sizeof text - 1);
    _exit(127);
  }
  const int fork_errno = errno;
  for (int fd : {out, err, in}) {
    if (fd >= 0) close(fd);
  }
  if (pid_ < 0) {
    throw std::runtime_error("cannot start " + argv[0] + ": " + std::strerror(fork_errno));
  }
}

ChildProcess::~ChildProcess() { stop(); }

bool ChildProcess::reap(int wait_ms) {
  if (pid_ < 0) return true;
  for (int waited = 0;; waited += 5) {
    int status = 0;
    const pid_t done = waitpid(pid_, &status, WNOHANG);
    if (done == pid_ || (done < 0 && errno != EINTR)) {
      status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      pid_ = -1;
      return true;
    }
    if (waited >= wait_ms) return false;
    usleep(5000);
  }
}

bool ChildProcess::running() { return !reap(0); }

bool ChildProcess::stop(int grace_ms) {
  if (!running()) return true;
  ::kill(pid_, SIGTERM);
  if (reap(grace_ms)) return true;
  stuck_ = threads();
  kill_now();
  return false;
}

void ChildProcess::kill_now() {
  if (!running()) return;
  ::kill(pid_, SIGKILL);
  reap(5000);
}

std::string ChildProcess::threads() const {
  if (pid_ < 0) return "";
  const std::string proc = "/proc/" + std::to_string(pid_);
  std::string text;
  std::error_code ec;
  for (const auto& task : std::filesystem::directory_iterator(proc + "/task", ec)) {
    const std::string t = task.path().string();
    std::string stat = read_file(t + "/stat");
    // The state follows the name, which is in parentheses and may hold any byte.
    const size_t close = stat.rfind(')');
    const char state = close != std::string::npos && close + 2 < stat.size() ? stat[close + 2] : '?';
    std::string comm = read_file(t + "/comm");
    if (!comm.empty() && comm.back() == '\n') comm.pop_back();
    text += "thread " + task.path().filename().string() + " (" + comm + ") state " + state +
            ", waiting in " + read_file(t + "/wchan") + "\n" + read_file(t + "/stack");
  }
  return text;
}

}  // namespace quave::test
