// The program on a real ALSA sequencer: run inside scripts/alsa-vm, where
// the simulator is either an application with ports of its own or the device
// behind the kernel port "VirMIDI 0-0", read at USB or 5-pin DIN speed.
#include <gtest/gtest.h>

#include "tests/alsa/alsa_ports.hpp"
#include "tests/e2e/device_texts.hpp"
#include "tests/e2e/reload_and_json.hpp"
#include "tests/e2e/several_synths.hpp"
#include "tests/e2e/unit_files.hpp"

namespace quave::test {
namespace {

TEST(AlsaE2E, CommandsFindTheApplicationPortsByName) {
  MidiRig rig(MidiRig::Backend::alsa);
  const int sim = rig.start_sim({"--slots", "osc:2", "--preload", "osc:1:saw"});
  // No JACK server runs here: the backend fallback has to settle on ALSA.
  expect_run(rig.run_cli({"probe", "-m", "osc"}), 0,
             kVestrelHead +
                 "> Oscillator status:\n[0]: free.\n"
                 "[1]: \"saw\" v1.00-0 api:1.01-0 did:00000000 uid:00000002\n",
             "");
  expect_run(rig.run_cli({"clear", "-m", "osc", "-s", "1"}), 0,
             "> Handshaking...\n> Clearing slot #1 of \"Oscillator\" module.\n", "");
  EXPECT_EQ(requests_with_function(rig, sim, "1b").size(), 1u);
  expect_run(rig.run_cli({"probe", "-m", "osc"}), 0,
             kVestrelHead + "> Oscillator status:\n[0]: free.\n[1]: free.\n", "");
}

// Every size a device may accept, over each kind of port.
TEST(AlsaE2E, LoadArrivesWholeOnEveryKindOfPort) {
  struct Transport {
    const char* name;
    std::vector<std::string> sim;
    bool kernel_port;
  };
  const Transport transports[] = {
      {"application port", {}, false},
      {"kernel port at USB speed", {"--rawmidi", "/dev/snd/midiC0D0"}, true},
      {"kernel port at DIN speed", {"--rawmidi", "/dev/snd/midiC0D0", "--drain", "3125"}, true},
  };
  TempDir dir;
  for (const Transport& t : transports) {
    MidiRig rig(MidiRig::Backend::alsa);
    std::vector<std::string> sim_options = t.sim;
    sim_options.insert(sim_options.end(), {"--max-payload", "osc:16384"});
    const int sim = rig.start_sim(sim_options);
    std::vector<std::string> ports;
    if (t.kernel_port) {
      ports = {"-i", port_index(rig, "in ", "VirMIDI 0-0"), "-o", port_index(rig, "out", "VirMIDI 0-0")};
    }
    for (const size_t image : {5240u, 12288u, 16384u}) {
      SCOPED_TRACE(std::string(t.name) + ", image of " + std::to_string(image) + " bytes");
      UnitSpec unit;
      unit.payload_size = image - 1156;
      std::vector<std::string> args{"load", "-u", write_unit(dir, unit), "-s", "0"};
      args.insert(args.end(), ports.begin(), ports.end());
      const size_t before = requests_with_function(rig, sim, "4a").size();
      const ProcessResult r = rig.run_cli(args);
      const auto loads = requests_with_function(rig, sim, "4a");
      ASSERT_EQ(loads.size(), before + 1) << r.err << rig.diagnostics();
      // The device acknowledges only an image whose length and CRC-32 hold.
      expect_run(r, 0,
                 parsing_lines() + "> Handshaking...\n" + kOscTarget + size_line_of(loads.back()),
                 "");
    }
  }
}

// Two programs' synthesizers whose ports list in different orders: each of
// the two sequencer clients of a program is paired with its sibling, and
// named so.
TEST(AlsaE2E, EachUnitGoesToItsOwnSynthesizerAndEachNamePicksIt) {
  for (const bool output_first : {false, true}) {
    SCOPED_TRACE(output_first ? "halvane rx output first" : "halvane rx input first");
    MidiRig rig(MidiRig::Backend::alsa);
    const TwoSynths synths = start_in_crossed_order(rig, RtMidi::LINUX_ALSA, output_first);
    expect_each_unit_on_its_own(rig, synths);
    expect_names_pick_each(rig, synths);
  }
}

// probe --json against three models' simulators, and load -r.
TEST(AlsaE2E, JsonIsWhatTheSimulatorsHoldAndAReloadKeepsItsSlot) {
  MidiRig rig(MidiRig::Backend::alsa);
  expect_reload_and_json(rig, RtMidi::LINUX_ALSA);
}

// A wait ended by SIGTERM, and a holder killed with SIGKILL: the kernel frees
// its ports and its lock at once.
TEST(AlsaE2E, AWaitEndsOnSigtermAndAKilledHolderHoldsNothing) {
  MidiRig rig(MidiRig::Backend::alsa);
  expect_wait_ends_and_killed_holder_holds_nothing(rig);
}

}  // namespace
}  // namespace quave::test
