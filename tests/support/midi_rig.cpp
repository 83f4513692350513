#include "tests/support/midi_rig.hpp"

#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <sstream>
#include <stdexcept>
#include <thread>

#include <gtest/gtest.h>

#include "tests/support/limited_process.hpp"

namespace quave::test {

namespace {

constexpr int kStartLimitMs = 10000;  // for the server or a simulator to come up
constexpr int kCliLimitMs = 60000;

std::string on_path(const std::string& program) {
  const char* path = getenv("PATH");
  std::istringstream dirs(path ? path : "/usr/bin:/bin");
  std::string dir;
  while (std::getline(dirs, dir, ':')) {
    const std::string candidate = (dir.empty() ? "." : dir) + "/" + program;
    if (access(candidate.c_str(), X_OK) == 0) return candidate;
  }
  throw std::runtime_error(program + " not found (scripts/setup installs it)");
}

// Polls `ready` every 20 ms until it holds; throws `why` with the child's
// log once the child has ended or the start limit has passed.
template <class Ready>
void wait_until(Ready ready, ChildProcess& child, const std::string& what,
                const std::string& log) {
  const auto deadline =
      std::chrono::steady_clock::now() + std::chrono::milliseconds(kStartLimitMs);
  for (;;) {
    if (ready()) return;
    if (!child.running()) {
      throw std::runtime_error(what + " ended while starting (status " +
                               std::to_string(child.status()) + "):\n" + read_file(log));
    }
    if (std::chrono::steady_clock::now() >= deadline) {
      child.stop();
      throw std::runtime_error(what + " did not come up within " +
                               std::to_string(kStartLimitMs / 1000) + " s:\n" + read_file(log));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

// The folder of PipeWire's libjack, which its JACK clients load instead of
// jackd's.
std::string pipewire_libjack_dir() {
  for (const char* arch : {"x86_64-linux-gnu", "aarch64-linux-gnu", "i386-linux-gnu"}) {
    const std::string dir = std::string("/usr/lib/") + arch + "/pipewire-0.3/jack";
    if (access((dir + "/libjack.so.0").c_str(), R_OK) == 0) return dir;
  }
  throw std::runtime_error("PipeWire's libjack not found (scripts/setup installs pipewire-jack)");
}

// A quantum four times the desktop's default. PipeWire drops the cycle of a
// client still busy with the one before, and its MIDI with it: a command
// just started, beside the other tests on a loaded machine, was late by
// more than a 1,024-frame cycle now and then even with real-time threads.
std::string pipewire_config() {
  std::string config = read_file(source_dir() + "/scripts/pipewire-headless.conf");
  for (const auto& [mark, value] : {std::pair<std::string, std::string>{"@QUANTUM@", "4096"},
                                    {"@QUANTUM_LIMIT@", "8192"}}) {
    for (size_t at = config.find(mark); at != std::string::npos; at = config.find(mark, at)) {
      config.replace(at, mark.size(), value);
    }
  }
  return config;
}

// The private jackd every part of the project starts, named `name`: its
// arguments are the lines of scripts/lib/jackd-options, which says why.
std::vector<std::string> jackd_command(const std::string& name) {
  std::istringstream lines(read_file(source_dir() + "/scripts/lib/jackd-options"));
  std::vector<std::string> command{on_path("jackd")};
  for (std::string line; std::getline(lines, line);) {
    if (line.empty() || line[0] == '#') continue;
    command.push_back(line == "@NAME@" ? name : line);
  }
  return command;
}

}  // namespace

std::vector<std::string> lock_files() {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator("/dev/shm")) {
    const std::string name = entry.path().filename().string();
    if (name.rfind("quave-cli-", 0) == 0) names.push_back(name);
  }
  return names;
}

std::string pipewire_version() {
  const LimitedResult r = run_limited({on_path("pipewire"), "--version"}, 5000);
  const std::string mark = "Linked with libpipewire ";
  const size_t at = r.run.out.find(mark);
  if (at == std::string::npos) throw std::runtime_error("pipewire --version: " + r.run.out);
  const std::string rest = r.run.out.substr(at + mark.size());
  return rest.substr(0, rest.find_first_of(" \n"));
}

void enter_jack_sandbox(int argc, char** argv) {
  if (getenv("QUAVE_JACK_SANDBOX")) return;
  // Listing the tests (CTest does it while building) starts no server, and
  // must work where no sandbox can be made.
  for (int i = 1; i < argc; ++i) {
    if (std::string(argv[i]) == "--gtest_list_tests") return;
  }
  char self[PATH_MAX];
  const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
  if (n <= 0) {
    std::perror("readlink /proc/self/exe");
    std::exit(1);
  }
  self[n] = '\0';
  const std::string sandbox = source_dir() + "/scripts/jack-sandbox";
  std::vector<char*> args{const_cast<char*>(sandbox.c_str()), self};
  for (int i = 1; i < argc; ++i) args.push_back(argv[i]);
  args.push_back(nullptr);
  execv(args[0], args.data());
  std::perror(("cannot run " + sandbox).c_str());
  std::exit(1);
}

MidiRig::MidiRig(Backend backend) : backend_(backend) {
  if (backend_ == Backend::alsa) {
    if (access("/dev/snd/seq", R_OK | W_OK) != 0) {
      throw std::runtime_error("no ALSA sequencer here (/dev/snd/seq): run in scripts/alsa-vm");
    }
    return;
  }
  if (!getenv("QUAVE_JACK_SANDBOX")) {
    throw std::runtime_error("MIDI tests run inside scripts/jack-sandbox (see enter_jack_sandbox)");
  }
  if (backend_ == Backend::pipewire) {
    const std::string log = temp_.file("pipewire.log");
    const std::string config = temp_.file("pipewire.conf");
    write_file(config, pipewire_config());
    // The server's socket, and nobody else's: a runtime folder of its own.
    if (mkdir(temp_.file("run").c_str(), 0700) != 0) throw std::runtime_error("cannot make a runtime folder");
    // No D-Bus here, and the clients are told so: where the system refuses
    // them real time they would ask RTKit over D-Bus instead, and the D-Bus
    // library loaded for that, then unloaded, leaves allocations that
    // LeakSanitizer reports without a module to match a suppression.
    const std::string drop_ins = temp_.file("config") + "/pipewire/jack.conf.d";
    for (const std::string& dir : {temp_.file("config"), temp_.file("config") + "/pipewire", drop_ins}) {
      if (mkdir(dir.c_str(), 0700) != 0) throw std::runtime_error("cannot make " + dir);
    }
    write_file(drop_ins + "/headless.conf", "context.properties = {\n    support.dbus = false\n}\n");
    jackd_ = std::make_unique<ChildProcess>(
        std::vector<std::string>{on_path("pipewire"), "-c", config},
        std::vector<std::string>{"XDG_RUNTIME_DIR=" + temp_.file("run")}, log, log);
    // A listing that works, empty as it is, says clients can join.
    wait_until([this] { return port_list_works(); }, *jackd_, "pipewire", log);
    return;
  }
  const std::string log = temp_.file("jackd.log");
  jackd_ = std::make_unique<ChildProcess>(jackd_command(server_), std::vector<std::string>{}, log,
                                          log);
  wait_until([this] { return !port_list().empty(); }, *jackd_, "jackd", log);
}

MidiRig::~MidiRig() {
  // Whatever failed, the server's and the simulators' own words say why.
  if (testing::Test::HasFailure()) std::cerr << diagnostics();
  for (size_t id = 0; id < sims_.size(); ++id) expect_clean_end(id);
  if (jackd_) jackd_->stop(15000);
}

// A simulator that crashes while it closes its ports has served its test
// already; only its exit status tells.
void MidiRig::expect_clean_end(size_t id) {
  ChildProcess& sim = *sims_.at(id);
  if (ended_.count(id)) return;  // stopped and judged already
  ended_.insert(id);
  if (!sim.stop()) {
    ADD_FAILURE() << "simulator " << id << " ignored SIGTERM; its threads then:\n" << sim.stuck();
  } else if (sim.status() != 0) {
    ADD_FAILURE() << "simulator " << id << " ended with status " << sim.status() << ":\n"
                  << sim_stderr(static_cast<int>(id));
  }
}

bool MidiRig::ports_listed(const std::string& out_port, const std::string& in_port) const {
  // ALSA lists a virtual port the moment it exists; the ready line says so.
  if (backend_ == Backend::alsa) return true;
  const std::string ports = port_list();
  return ports.find(":" + out_port + "\n") != std::string::npos &&
         ports.find(":" + in_port + "\n") != std::string::npos;
}

std::string MidiRig::port_list() const {
  const LimitedResult r = run_limited({on_path("jack_lsp")}, 5000, env());
  return r.run.exit_code == 0 ? r.run.out : "";
}

bool MidiRig::port_list_works() const {
  return run_limited({on_path("jack_lsp")}, 2000, env()).run.exit_code == 0;
}

int MidiRig::start_sim(const std::vector<std::string>& devsim_options) {
  const int id = static_cast<int>(sims_.size());
  const std::string prefix = temp_.file("sim-" + std::to_string(id));
  std::vector<std::string> argv{devsim_path(), "--ready"};
  if (backend_ == Backend::alsa) argv.insert(argv.end(), {"--api", "alsa"});
  argv.insert(argv.end(), devsim_options.begin(), devsim_options.end());
  argv.push_back("--log");
  argv.push_back(log_path(id));
  sims_.push_back(std::make_unique<ChildProcess>(argv, env(), prefix + ".out", prefix + ".err"));
  // The ready line names the two ports; the server must list both.
  wait_until(
      [&] {
        std::istringstream out(read_file(prefix + ".out"));
        std::string word, out_port, in_port;
        if (!(out >> word) || word != "ready") return false;
        out.ignore(1);
        if (!std::getline(out, out_port, '\t') || !std::getline(out, in_port)) return false;
        return ports_listed(out_port, in_port);
      },
      *sims_.back(), "simulator " + std::to_string(id), prefix + ".err");
  return id;
}

void MidiRig::stop_sim(int id) { expect_clean_end(static_cast<size_t>(id)); }

void MidiRig::kill_server() { jackd_->kill_now(); }

std::vector<std::string> MidiRig::env() const {
  switch (backend_) {
    case Backend::alsa: return {};
    case Backend::pipewire:
      return {"XDG_RUNTIME_DIR=" + temp_.file("run"), "XDG_CONFIG_HOME=" + temp_.file("config"),
              "LD_LIBRARY_PATH=" + pipewire_libjack_dir()};
    case Backend::jack: break;
  }
  return {"JACK_DEFAULT_SERVER=" + server_};
}

ProcessResult MidiRig::run_cli(const std::vector<std::string>& args) const {
  std::vector<std::string> argv{cli_path()};
  argv.insert(argv.end(), args.begin(), args.end());
  LimitedResult r = run_limited(argv, kCliLimitMs, env());
  if (r.timed_out) {
    r.run.err += "[killed: still running after " + std::to_string(kCliLimitMs / 1000) + " s]\n";
  } else if (r.signal) {
    r.run.err += "[ended by signal " + std::to_string(r.signal) + "]\n";
  }
  return r.run;
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
  std::string text;
  if (backend_ == Backend::pipewire) {
    text = "--- pipewire log\n" + read_file(temp_.file("pipewire.log"));
  } else if (jackd_) {
    text = "--- jackd log (" + server_ + ")\n" + read_file(temp_.file("jackd.log"));
  }
  for (size_t id = 0; id < sims_.size(); ++id) {
    text += "--- simulator " + std::to_string(id) + " stderr\n" + sim_stderr(static_cast<int>(id));
    text += "--- simulator " + std::to_string(id) + " requests\n" + request_log(static_cast<int>(id));
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
