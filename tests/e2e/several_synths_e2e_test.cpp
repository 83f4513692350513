// Several synthesizers on one server, and several commands for one: each
// command talks to the right synthesizer, and alone.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "tests/e2e/device_texts.hpp"
#include "tests/e2e/several_synths.hpp"
#include "tests/e2e/unit_files.hpp"
#include "tests/support/child_process.hpp"
#include "tests/support/limited_process.hpp"

namespace quave::test {
namespace {

TEST(SeveralSynthsE2E, EachUnitGoesToItsOwnSynthesizer) {
  for (const bool output_first : {false, true}) {
    SCOPED_TRACE(output_first ? "halvane rx output first" : "halvane rx input first");
    MidiRig rig;
    expect_each_unit_on_its_own(rig, RtMidi::UNIX_JACK, output_first);
  }
}

// Two loads started together: both stored, the second's first request only
// after the first's load was answered.
TEST(SeveralSynthsE2E, TwoLoadsAtOnceGoOneAfterTheOther) {
  TempDir dir;
  MidiRig rig;
  // A late answer holds the first load long enough for the second to wait.
  const int sim = rig.start_sim({"--slots", "osc:2", "--delay", "load:700"});
  expect_two_loads_in_turn(rig, sim, write_unit(dir, kVestrelUnit));
}

// A command waiting for the synthesizer ends on Ctrl-C as anywhere; a holder
// killed outright leaves the synthesizer free: the next command neither
// waits nor says anything of it.
TEST(SeveralSynthsE2E, AWaitEndsOnCtrlCAndAKilledHolderHoldsNothing) {
  TempDir dir;
  MidiRig rig;
  const int sim = rig.start_sim({"--silent", "load"});
  ChildProcess holder({cli_path(), "load", "-u", write_unit(dir, kVestrelUnit)}, rig.env(),
                      dir.file("holder.out"), dir.file("holder.err"));
  const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (loads_in(rig, sim) == 0 && std::chrono::steady_clock::now() < give_up) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  ASSERT_EQ(loads_in(rig, sim), 1u) << rig.diagnostics();
  const LimitedResult waiting = run_limited({cli_path(), "probe"}, 60000, rig.env(), {SIGINT, 1000});
  EXPECT_EQ(waiting.signal, SIGINT);
  EXPECT_EQ(waiting.run.err.rfind("Waiting for vestrel: quave-cli load (process ", 0), 0u)
      << waiting.run.err;
  holder.kill_now();
  // The server drops the dead command's clients in its own time; until then
  // a cycle may wait for them, which has nothing to do with the lock.
  for (;;) {
    const ProcessResult listing = rig.run_cli({"probe", "-l"});
    if (listing.out.find("RtMidi") == std::string::npos) break;
    ASSERT_LT(std::chrono::steady_clock::now(), give_up) << listing.out;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  expect_run(rig.run_cli({"probe"}), 0, kVestrelHead + kDefaultModules, "");
}

}  // namespace
}  // namespace quave::test
