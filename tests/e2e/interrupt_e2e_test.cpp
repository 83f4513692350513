// Device commands that are interrupted, and whose device or JACK server goes
// away.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <thread>

#include "tests/e2e/device_texts.hpp"
#include "tests/e2e/unit_files.hpp"
#include "tests/support/limited_process.hpp"
#include "tests/support/midi_rig.hpp"

namespace quave::test {
namespace {

// Five late module answers: the handshake alone takes four seconds or more.
const std::vector<std::string> kSlowModules{"--delay", "module-info:800"};

// Just after the device has taken its first module request, the third of the
// handshake: the program then has its whole time-out to see the device go. A
// fixed delay could leave it as little as the time-out less the device's, on a
// slow host less still.
void wait_for_module_request(const MidiRig& rig, int sim) {
  rig.wait_for_log_lines(sim, 3, 30000);
  ASSERT_EQ(requests_with_function(rig, sim, "18").size(), 1u) << rig.diagnostics();
}

TEST(InterruptE2E, SignalEndsTheCommandAndTheNextRunIsNormal) {
  struct Row {
    std::vector<std::string> args;
    int signal;
  };
  const Row rows[] = {{{"probe", "-v"}, SIGINT}, {{"clear", "-m", "osc", "-a"}, SIGTERM}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.args[0]);
    MidiRig rig;
    rig.start_sim(kSlowModules);
    std::vector<std::string> argv{cli_path()};
    argv.insert(argv.end(), row.args.begin(), row.args.end());
    const LimitedResult r = run_limited(argv, 60000, rig.env(), {row.signal, 1500});
    EXPECT_EQ(r.signal, row.signal);
    EXPECT_LT(r.seconds, 3.5) << "ran on after the signal";
    EXPECT_EQ(r.run.err, "");
    EXPECT_EQ(lock_files(), std::vector<std::string>{}) << "its lock's file stayed";
    // Its JACK clients were closed, not left to the server to time out. A
    // fresh simulator: the old one still owes a late answer.
    rig.stop_sim(0);
    rig.start_sim({});
    const ProcessResult next = rig.run_cli({"probe"});
    expect_run(next, 0, kVestrelHead + kDefaultModules, "");
  }
}

// Its JACK server dies, as a pulled cable would end the device: the same line.
TEST(InterruptE2E, ServerGoneDuringHandshakeIsSaidAtOnce) {
  MidiRig rig;
  const int sim = rig.start_sim(kSlowModules);
  LimitedResult r;
  const auto start = std::chrono::steady_clock::now();
  std::thread cli([&] { r = run_limited({cli_path(), "probe"}, 60000, rig.env()); });
  wait_for_module_request(rig, sim);
  rig.kill_server();
  const double killed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  cli.join();
  EXPECT_EQ(r.run.exit_code, 1);
  EXPECT_EQ(r.run.out, "");
  // Nothing from the JACK library either.
  EXPECT_EQ(r.run.err,
            "Error: The quave device is gone (unplugged or switched off).\nQuave handshake failed.\n");
  // The library's JACK output waits a second at its close for a process
  // cycle that a dead server no longer runs.
  EXPECT_LT(r.seconds - killed, kSanitizedBuild ? 4.0 : 2.0);
}

// The device's client ends (as a USB device's does when it is unplugged)
// while the handshake waits for late answers.
TEST(InterruptE2E, DeviceGoneDuringHandshakeIsSaidAtOnce) {
  MidiRig rig;
  const int sim = rig.start_sim(kSlowModules);
  LimitedResult r;
  const auto start = std::chrono::steady_clock::now();
  std::thread cli([&] { r = run_limited({cli_path(), "probe"}, 60000, rig.env()); });
  wait_for_module_request(rig, sim);
  rig.stop_sim(sim);
  const double ended = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  cli.join();
  EXPECT_EQ(r.run.exit_code, 1);
  EXPECT_EQ(r.run.out, "");
  EXPECT_EQ(r.run.err, "Error: The quave device is gone (unplugged or switched off).\nQuave handshake failed.\n");
  EXPECT_LT(r.seconds - ended, kSanitizedBuild ? 3.0 : 1.0);
}

}  // namespace
}  // namespace quave::test
