// A private JACK server with simulated devices on it, for end-to-end tests.
//
//   MidiRig rig;                                      // own server
//   const int sim = rig.start_sim({"--platform", "halvane-rx"});
//   const ProcessResult r = rig.run_cli({"probe", "-v"});
//   EXPECT_EQ(rig.request_log_lines(sim).front(), "f0 42 50 00 55 f7");
//
// The test process must run inside scripts/jack-sandbox (the e2e binary puts
// itself there), so that its server and clients share /dev/shm with nobody.
// The server and the simulators are children of the test process and die
// with it. Failures to start throw std::runtime_error with the reason.
#pragma once

#include <cstddef>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "tests/support/child_process.hpp"
#include "tests/support/process.hpp"

namespace quave::test {

// Re-runs this program inside scripts/jack-sandbox unless it is there
// already; returns only inside. Call first thing in main().
void enter_jack_sandbox(int argc, char** argv);

class MidiRig {
 public:
  // On JACK: a private jackd. On PipeWire: a private PipeWire, without a
  // session manager, whose JACK its clients use. On ALSA: the machine's own
  // sequencer (the ALSA tests run in scripts/alsa-vm), and simulators told
  // to use it.
  enum class Backend { jack, pipewire, alsa };

  explicit MidiRig(Backend backend = Backend::jack);  // throws when it cannot
  ~MidiRig();  // stops every simulator, then the server
  MidiRig(const MidiRig&) = delete;
  MidiRig& operator=(const MidiRig&) = delete;

  // Starts quave-devsim with these options plus "--log <file>" and returns
  // its id once both of its ports are visible on the server.
  int start_sim(const std::vector<std::string>& devsim_options);
  // Sends SIGTERM and waits for the simulator to end; the test fails
  // unless it ends in time with status 0.
  void stop_sim(int id);
  // Kills the server without letting it clean up, as a crash would.
  void kill_server();

  // The environment a MIDI client needs here: "JACK_DEFAULT_SERVER=<name>";
  // on PipeWire its runtime folder and its libjack.
  std::vector<std::string> env() const;
  const std::string& server_name() const { return server_; }

  // Runs the built quave-cli against this server. A run still going after
  // a minute is killed and reported with exit code -1.
  ProcessResult run_cli(const std::vector<std::string>& args) const;

  // Requests the simulator received so far: one per line, lowercase hex
  // bytes separated by single blanks ("f0 42 50 00 55 f7").
  std::string request_log(int id) const;
  std::vector<std::string> request_log_lines(int id) const;
  // Waits up to `timeout_ms` until the log holds at least `count` lines.
  std::vector<std::string> wait_for_log_lines(int id, size_t count, int timeout_ms = 10000) const;
  // What the simulator wrote to standard error (startup errors and such).
  std::string sim_stderr(int id) const;
  // The server's log, and every simulator's standard error and the requests
  // it received, for a failing test to print.
  std::string diagnostics() const;

  const std::string& dir() const { return temp_.path(); }

 private:
  void expect_clean_end(size_t id);
  std::string log_path(int id) const;
  std::string port_list() const;
  bool port_list_works() const;
  bool ports_listed(const std::string& out_port, const std::string& in_port) const;

  TempDir temp_;  // declared first: removed only after everything stopped
  // JACK builds a server's socket path and each client's from the bare name,
  // so a server named like a client ("quave-test") loses its socket to it.
  std::string server_ = "quave-jack";
  Backend backend_;
  std::unique_ptr<ChildProcess> jackd_;  // or pipewire
  std::vector<std::unique_ptr<ChildProcess>> sims_;
  std::set<size_t> ended_;
};

// The synthesizer locks' files in /dev/shm (the sandbox's, or the emulated
// machine's), by name.
std::vector<std::string> lock_files();

// PipeWire's own version ("1.4.2"), as the pipewire program tells it.
std::string pipewire_version();

// Splits a hex log line back into bytes.
std::vector<unsigned char> parse_hex_line(const std::string& line);

}  // namespace quave::test
