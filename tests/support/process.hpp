// Runs a program to completion and captures what it printed.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace quave::test {

struct ProcessResult {
  int exit_code = -1;  // -1 when it did not exit normally
  std::string out;
  std::string err;
};

// Runs `argv` (argv[0] is the program path) with `extra_env` ("NAME=value")
// added to the environment, and waits for it.
ProcessResult run_process(const std::vector<std::string>& argv,
                          const std::vector<std::string>& extra_env = {});

// An argument vector and an environment (ours plus `extra_env`) in the
// form exec takes them; the pointers stay valid while the object lives.
struct ExecVectors {
  ExecVectors(const std::vector<std::string>& argv, const std::vector<std::string>& extra_env);
  ExecVectors(const ExecVectors&) = delete;
  ExecVectors& operator=(const ExecVectors&) = delete;
  std::vector<char*> args;
  std::vector<std::string> env_strings;
  std::vector<char*> env;
};

// quave-cli with `args`, given up after a minute. With QUAVE_TEST_CLI (a
// Windows quave-cli.exe) and QUAVE_TEST_EMULATOR (Wine) in the environment,
// that program runs through the emulator instead of the native build's. Its
// lines must all end in CRLF, the console convention there; they come back
// ending in LF, and a text with a bare LF comes back as it was, behind a line
// saying so, which no expected text matches. With QUAVE_TEST_CLI alone, that
// program runs instead of the build's (cli_path()).
ProcessResult run_cli(const std::vector<std::string>& args);
// CRLF turned into LF; nothing when a line ends in a bare LF.
std::optional<std::string> from_crlf(const std::string& text);

// Paths baked in by the build.
std::string cli_path();
std::string devsim_path();
std::string source_dir();

// A fresh directory under the system's temporary directory, removed with
// everything in it when the object goes.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// Runs `body` in a child process as the user and group `id` (no other
// groups) and returns its exit code, or 100 + the signal that ended it.
int run_as(unsigned id, const std::function<int()>& body);

void write_file(const std::string& path, const std::string& bytes);
std::string read_file(const std::string& path);

}  // namespace quave::test
