// clear against the simulator over a private JACK server.
#include <gtest/gtest.h>

#include "tests/e2e/device_texts.hpp"
#include "tests/e2e/unit_files.hpp"

namespace quave::test {
namespace {

const std::string kHandshaking = "> Handshaking...\n";

// The clear requests (slot 1b, module 1d) in the log, which must be its last
// lines and come after the handshake.
std::vector<std::string> clears(const MidiRig& rig, int sim) {
  std::vector<std::string> found = requests_with_function(rig, sim, "1b");
  for (const auto& line : requests_with_function(rig, sim, "1d")) found.push_back(line);
  const auto log = rig.request_log_lines(sim);
  if (!found.empty()) {
    EXPECT_EQ(log.front(), "f0 42 50 00 55 f7");
    EXPECT_EQ(log.back(), found.back());
  }
  return found;
}

TEST(ClearE2E, OneSlot) {
  MidiRig rig;
  const int sim = rig.start_sim({"--slots", "osc:4", "--preload", "osc:2:busy"});
  // A free slot is cleared like any other.
  expect_run(rig.run_cli({"clear", "-m", "osc", "-s", "3"}), 0,
             kHandshaking + "> Clearing slot #3 of \"Oscillator\" module.\n", "");
  EXPECT_EQ(clears(rig, sim), std::vector<std::string>{"f0 42 30 00 01 4b 1b 04 03 f7"});

  // --slot wins over --all.
  expect_run(rig.run_cli({"clear", "-m", "osc", "-a", "--slot", "2"}), 0,
             kHandshaking + "> Clearing slot #2 of \"Oscillator\" module.\n", "");
  EXPECT_EQ(clears(rig, sim).size(), 2u);
  expect_run(rig.run_cli({"probe", "-m", "osc"}), 0,
             kVestrelHead + "> Oscillator status:\n[0]: free.\n[1]: free.\n[2]: free.\n[3]: free.\n",
             "");
}

TEST(ClearE2E, WholeModule) {
  MidiRig rig;
  const int sim = rig.start_sim({"--slots", "delfx:2", "--preload", "delfx:0:echo", "--preload",
                                 "delfx:1:tape"});
  expect_run(rig.run_cli({"clear", "-m", "delfx", "--all"}), 0,
             kHandshaking + "> Clearing all slots of \"Delay FX\" module.\n", "");
  EXPECT_EQ(clears(rig, sim), std::vector<std::string>{"f0 42 30 00 01 4b 1d 02 f7"});
  expect_run(rig.run_cli({"probe", "-m", "delfx"}), 0,
             kVestrelHead + "> Delay FX status:\n[0]: free.\n[1]: free.\n", "");

  // The simulator has no slots in global and says so.
  expect_run(rig.run_cli({"clear", "-m", "global", "-a"}), 1,
             kHandshaking + "> Clearing all slots of \"Global\" module.\n",
             "Error: Invalid module ID.\nError: Failed to clear slots.\n");
  const auto all = clears(rig, sim);
  ASSERT_FALSE(all.empty());
  EXPECT_EQ(all.back(), "f0 42 30 00 01 4b 1d 00 f7");
}

TEST(ClearE2E, RefusalsBeforeAndAfterTheHandshake) {
  MidiRig rig;
  const int sim = rig.start_sim({"--slots", "modfx:0"});
  expect_run(rig.run_cli({"clear", "-s", "1"}), 1, "", "Error: A module must be specified.\n\n");
  expect_run(rig.run_cli({"clear", "-m", "Modfx", "-a"}), 1, "",
             "Error: Invalid module specifier. (Modfx)\n");
  expect_run(rig.run_cli({"clear", "-m", "osc"}), 1, "",
             "Error: Either a slot or the -a/--all option must be specified.\n\n");
  expect_run(rig.run_cli({"clear", "-m", "osc", "-a", "-i", "0"}), 1, "",
             "Error: Both input and output ports must be specified when using explicit MIDI "
             "port options.\n");
  EXPECT_TRUE(rig.request_log_lines(sim).empty());
  expect_run(rig.run_cli({"clear", "-l", "-m", "Modfx"}), 0, kHandshaking + kSimListing + "\n", "");

  expect_run(rig.run_cli({"clear", "-m", "osc", "-s", "16"}), 1, kHandshaking,
             "Error: Slot index too large. Only 16 slots available.\n");
  expect_run(rig.run_cli({"clear", "-m", "modfx", "-s", "0"}), 1, kHandshaking,
             "Error: Slot index too large. Only 0 slots available.\n");
  EXPECT_TRUE(clears(rig, sim).empty());
}

TEST(ClearE2E, EveryDeviceErrorStatus) {
  const std::pair<const char*, const char*> rows[] = {
      {"0x24", "Error: Device reported error code 1."},
      {"0x26", "Error: Device reported error code 2."},
      {"0x2c", "Error: Invalid module ID."},
      {"0x2d", "Error: Invalid slot ID."},
      {"0x2e", "Error: Invalid command format."},
      {"0x2f", "Error: Internal error."},
  };
  MidiRig rig;
  for (const auto& [status, line] : rows) {
    SCOPED_TRACE(status);
    const int sim = rig.start_sim({"--status", std::string("clear:") + status});
    expect_run(rig.run_cli({"clear", "-m", "revfx", "-s", "1"}), 1,
               kHandshaking + "> Clearing slot #1 of \"Reverb FX\" module.\n",
               std::string(line) + "\nError: Failed to clear slot.\n");
    EXPECT_EQ(clears(rig, sim).size(), 1u);
    rig.stop_sim(sim);
  }
}

TEST(ClearE2E, UnrecognisedStatusThenTimeOut) {
  MidiRig rig;
  const int sim = rig.start_sim({"--status", "clear:0x27"});
  expect_run(rig.run_cli({"clear", "-m", "osc", "-s", "0"}), 1,
             kHandshaking + "> Clearing slot #0 of \"Oscillator\" module.\n",
             "Warning: Unrecognized status message received. (0x27)\n"
             "Error: Clear command timed out.\n"
             "Error: Failed to clear slot.\n");
  EXPECT_EQ(clears(rig, sim).size(), 1u);
}

// Waits out the twenty-second time-out of a whole-module clear.
TEST(ClearE2E, SilentDeviceTimesOut) {
  MidiRig rig;
  const int sim = rig.start_sim({"--silent", "clear"});
  expect_run(rig.run_cli({"clear", "-m", "osc", "-s", "0"}), 1,
             kHandshaking + "> Clearing slot #0 of \"Oscillator\" module.\n",
             "Error: Clear command timed out.\nError: Failed to clear slot.\n");
  const auto start = std::chrono::steady_clock::now();
  expect_run(rig.run_cli({"clear", "-m", "osc", "-a"}), 1,
             kHandshaking + "> Clearing all slots of \"Oscillator\" module.\n",
             "Error: Clear command timed out.\nError: Failed to clear slots.\n");
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
  EXPECT_EQ(clears(rig, sim).size(), 2u);
}

}  // namespace
}  // namespace quave::test
