// A private JACK server with simulated devices on it, for end-to-end tests.
//
//   MidiRig rig;                                      // own server, own name
//   const int sim = rig.start_sim({"--platform", "halvane-rx"});
//   const ProcessResult r = rig.run_cli({"probe", "-v"});
//   EXPECT_EQ(rig.request_log_lines(sim).front(), "f0 42 50 00 55 f7");
//
// Everything is started through scripts/midi-harness with this process as the
// owner, so the server and the simulators go away even if the test crashes.
// Failures to start throw std::runtime_error with the harness's message.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "tests/support/process.hpp"

namespace quave::test {

class MidiRig {
 public:
  MidiRig();   // starts the server; throws when it cannot
  ~MidiRig();  // stops every simulator, then the server
  MidiRig(const MidiRig&) = delete;
  MidiRig& operator=(const MidiRig&) = delete;

  // Starts quave-devsim with these options plus "--log <file>" and returns
  // its id once both of its ports are visible on the server.
  int start_sim(const std::vector<std::string>& devsim_options);
  // Sends SIGTERM and waits for the simulator to end.
  void stop_sim(int id);

  // "JACK_DEFAULT_SERVER=<name>": the environment a MIDI client needs here.
  std::vector<std::string> env() const;
  const std::string& server_name() const { return server_; }

  // Runs the built quave-cli against this server.
  ProcessResult run_cli(const std::vector<std::string>& args) const;

  // Requests the simulator received so far: one per line, lowercase hex
  // bytes separated by single blanks ("f0 42 50 00 55 f7").
  std::string request_log(int id) const;
  std::vector<std::string> request_log_lines(int id) const;
  // Waits up to `timeout_ms` until the log holds at least `count` lines.
  std::vector<std::string> wait_for_log_lines(int id, size_t count, int timeout_ms = 2000) const;
  // What the simulator wrote to standard error (startup errors and such).
  std::string sim_stderr(int id) const;
  // The server's log and every simulator's standard error, for a failing
  // test to print.
  std::string diagnostics() const;

  const std::string& dir() const { return temp_.path(); }

 private:
  std::string log_path(int id) const;
  ProcessResult harness(const std::vector<std::string>& args) const;

  TempDir temp_;  // declared first: removed only after everything stopped
  std::string server_;
  int next_sim_ = 0;
};

// Splits a hex log line back into bytes.
std::vector<unsigned char> parse_hex_line(const std::string& line);

}  // namespace quave::test
