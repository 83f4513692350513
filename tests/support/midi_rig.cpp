#include "tests/support/midi_rig.hpp"

#include <unistd.h>

#include <chrono>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace quave::test {

namespace {

std::string harness_path() { return source_dir() + "/scripts/midi-harness"; }

std::string trimmed(std::string s) {
  while (!s.empty() && (s.back() == '\n' || s.back() == ' ')) s.pop_back();
  return s;
}

}  // namespace

MidiRig::MidiRig() {
  const ProcessResult r = harness({"start", dir(), "--owner", std::to_string(getpid())});
  if (r.exit_code != 0) throw std::runtime_error("cannot start a JACK server: " + r.err);
  server_ = trimmed(r.out);
}

MidiRig::~MidiRig() {
  try {
    harness({"stop", dir()});
  } catch (...) {
    // The watchdog still ends everything once this process is gone.
  }
}

ProcessResult MidiRig::harness(const std::vector<std::string>& args) const {
  std::vector<std::string> argv{harness_path()};
  argv.insert(argv.end(), args.begin(), args.end());
  return run_process(argv, {"QUAVE_DEVSIM=" + devsim_path()});
}

int MidiRig::start_sim(const std::vector<std::string>& devsim_options) {
  const int id = next_sim_++;
  std::vector<std::string> args{"sim", dir(), "--id", std::to_string(id), "--"};
  args.insert(args.end(), devsim_options.begin(), devsim_options.end());
  args.push_back("--log");
  args.push_back(log_path(id));
  const ProcessResult r = harness(args);
  if (r.exit_code != 0) throw std::runtime_error("cannot start the simulator: " + r.err);
  return id;
}

void MidiRig::stop_sim(int id) {
  const ProcessResult r = harness({"stop-sim", dir(), std::to_string(id)});
  if (r.exit_code != 0) throw std::runtime_error("cannot stop the simulator: " + r.err);
}

std::vector<std::string> MidiRig::env() const { return {"JACK_DEFAULT_SERVER=" + server_}; }

ProcessResult MidiRig::run_cli(const std::vector<std::string>& args) const {
  std::vector<std::string> argv{cli_path()};
  argv.insert(argv.end(), args.begin(), args.end());
  return run_process(argv, env());
}

std::string MidiRig::log_path(int id) const { return temp_.file("sim-" + std::to_string(id) + ".log"); }

std::string MidiRig::request_log(int id) const { return read_file(log_path(id)); }

std::vector<std::string> MidiRig::request_log_lines(int id) const {
  std::vector<std::string> lines;
  std::istringstream in(request_log(id));
  std::string line;
  // A line still being written has no line end yet and is left out.
  while (std::getline(in, line)) {
    if (!in.eof()) lines.push_back(line);
  }
  return lines;
}

std::vector<std::string> MidiRig::wait_for_log_lines(int id, size_t count, int timeout_ms) const {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  for (;;) {
    std::vector<std::string> lines = request_log_lines(id);
    if (lines.size() >= count || std::chrono::steady_clock::now() >= deadline) return lines;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

std::string MidiRig::sim_stderr(int id) const {
  return read_file(temp_.file("sim-" + std::to_string(id) + ".err"));
}

std::string MidiRig::diagnostics() const {
  std::string text = "--- jackd log (" + server_ + ")\n" + read_file(temp_.file("jackd.log"));
  for (int id = 0; id < next_sim_; ++id) {
    text += "--- simulator " + std::to_string(id) + " stderr\n" + sim_stderr(id);
  }
  return text;
}

std::vector<unsigned char> parse_hex_line(const std::string& line) {
  std::vector<unsigned char> out;
  std::istringstream in(line);
  std::string word;
  while (in >> word) out.push_back(static_cast<unsigned char>(std::stoul(word, nullptr, 16)));
  return out;
}

}  // namespace quave::test
