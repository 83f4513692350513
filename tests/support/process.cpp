#include "tests/support/process.hpp"

#include <grp.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

#include <filesystem>
#include <fstream>
#include <limits>
#include <sstream>
#include <stdexcept>
#include <string>

#include "tests/support/limited_process.hpp"

extern char** environ;

namespace quave::test {

ExecVectors::ExecVectors(const std::vector<std::string>& argv,
                         const std::vector<std::string>& extra_env) {
  for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  for (char** e = environ; *e; ++e) env_strings.emplace_back(*e);
  env_strings.insert(env_strings.end(), extra_env.begin(), extra_env.end());
  for (auto& e : env_strings) env.push_back(e.data());
  env.push_back(nullptr);
}

ProcessResult run_process(const std::vector<std::string>& argv,
                          const std::vector<std::string>& extra_env) {
  return run_limited(argv, std::numeric_limits<int>::max(), extra_env).run;
}

std::optional<std::string> from_crlf(const std::string& text) {
  std::string lf;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) return std::nullopt;
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    lf += text[i];
  }
  return lf;
}

ProcessResult run_cli(const std::vector<std::string>& args) {
  const char* windows_cli = std::getenv("QUAVE_TEST_CLI");
  const char* emulator = std::getenv("QUAVE_TEST_EMULATOR");
  std::vector<std::string> argv;
  if (windows_cli && emulator) {
    argv = {emulator, windows_cli};
  } else {
    argv = {cli_path()};
  }
  argv.insert(argv.end(), args.begin(), args.end());
  // A bound on a hang, not a measure of speed: under Wine in the emulated
  // machine, on a slow host, a load that times out ends long after its
  // time-out.
  LimitedResult limited = run_limited(argv, 180000);
  if (limited.timed_out) {
    limited.run.err += "(killed after 180 s)";
  } else if (limited.signal != 0) {
    // Otherwise a crash reads as exit code -1 with whatever was printed.
    limited.run.err += "(ended by signal " + std::to_string(limited.signal) + " after " +
                       std::to_string(static_cast<int>(limited.seconds * 1000)) + " ms)";
  }
  if (windows_cli && emulator) {
    for (std::string* text : {&limited.run.out, &limited.run.err}) {
      *text = from_crlf(*text).value_or("[a line ends in a bare LF]\n" + *text);
    }
  }
  return limited.run;
}

// QUAVE_TEST_CLI alone: another build of the program (the portable one)
// under the same tests.
std::string cli_path() {
  const char* other = std::getenv("QUAVE_TEST_CLI");
  return other && !std::getenv("QUAVE_TEST_EMULATOR") ? other : QUAVE_CLI_PATH;
}
std::string devsim_path() { return QUAVE_DEVSIM_PATH; }
std::string source_dir() { return QUAVE_SOURCE_DIR; }

TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "quave-test-XXXXXX").string();
  if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

void write_file(const std::string& path, const std::string& bytes) {
  std::ofstream f(path, std::ios::binary);
  f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!f) throw std::runtime_error("cannot write " + path);
}

std::string read_file(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  std::ostringstream s;
  s << f.rdbuf();
  return s.str();
}

int run_as(unsigned id, const std::function<int()>& body) {
  const pid_t pid = fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    if (setgroups(0, nullptr) != 0 || setgid(id) != 0 || setuid(id) != 0) _exit(90);
    _exit(body());
  }
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 100 + WTERMSIG(status);
}

}  // namespace quave::test
