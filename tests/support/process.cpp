#include "tests/support/process.hpp"

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <limits>
#include <sstream>
#include <stdexcept>

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

std::string cli_path() { return QUAVE_CLI_PATH; }
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

}  // namespace quave::test
