// The program and the simulator on PipeWire's JACK, the release's own
// (Debian 12: 0.3, Debian 13: 1.4), as desktops run it: a load goes in the
// form the server carries, or is refused before any of it goes, and the
// device answers the next command either way.
#include <gtest/gtest.h>

#include <cstdio>

#include "tests/e2e/device_texts.hpp"
#include "tests/e2e/unit_files.hpp"

namespace quave::test::pipewire_tests {
namespace {

// PipeWire turns JACK's MIDI events into MIDI 2.0 packets from 1.3 on, and
// carries then one event of 8,186 bytes at most, and no fragments; before,
// it carried events of up to 32,735 bytes, and fragments.
bool one_event_only() {
  unsigned major = 0;
  unsigned minor = 0;
  std::sscanf(pipewire_version().c_str(), "%u.%u", &major, &minor);
  return major > 1 || (major == 1 && minor >= 3);
}

TEST(PipeWireE2E, ProbeWorksAndDebuggingNamesTheServer) {
  MidiRig rig(MidiRig::Backend::pipewire);
  rig.start_sim({});
  expect_run(rig.run_cli({"probe"}), 0, kVestrelHead + kDefaultModules, "");

  const ProcessResult debug = rig.run_cli({"probe", "-d"});
  EXPECT_EQ(debug.exit_code, 0) << debug.err;
  const std::string server = "JACK server: PipeWire " + pipewire_version();
  const std::string line =
      one_event_only()
          ? server + ", largest event 8186 bytes: a message goes whole up to 8186 bytes, a longer "
                     "one not at all.\n"
          : server + ", largest event 32735 bytes: a message goes whole up to 16379 bytes, a "
                     "longer one in fragments.\n";
  EXPECT_NE(debug.err.find(line), std::string::npos) << debug.err;
}

TEST(PipeWireE2E, LoadsGoAsTheServerCarriesThemOrNotAtAll) {
  struct Row {
    size_t payload;
    size_t request;  // bytes of SysEx
    const char* size;
  };
  const Row rows[] = {
      {5900, 8084, "size: 1b90 "},    // one event on every server
      {6000, 8198, "size: 1bf4 "},    // just over PipeWire 1.4's event
      {12000, 15055, "size: 3364 "},  // whole where RtMidi's ring takes it
      {15000, 18484, "size: 3f1c "},  // in fragments where they go
  };
  const bool refused_over_one_event = one_event_only();
  for (const Row& row : rows) {
    SCOPED_TRACE(row.payload);
    TempDir dir;
    UnitSpec package;
    package.payload_size = row.payload;
    const std::string path = write_unit(dir, package);
    MidiRig rig(MidiRig::Backend::pipewire);
    const int sim = rig.start_sim({"--slots", "modfx:0", "--slots", "delfx:0", "--slots",
                                   "revfx:0", "--slots", "osc:2", "--max-payload", "osc:16384"});
    const ProcessResult r = rig.run_cli({"load", "-u", path});
    const std::string before_size = parsing_lines() +
                                    "> Handshaking...\n"
                                    "> Target platform: \"vestrel\"\n"
                                    "> Target module: \"Oscillator\"\n"
                                    "> No slot specified, using first available.\n";
    EXPECT_EQ(r.out.rfind(before_size + row.size + "crc32: ", 0), 0u) << r.out;
    const auto loads = requests_with_function(rig, sim, "4a");
    std::string slot0 = "[0]: \"Saw\" v1.00-0 api:1.01-0 did:00000000 uid:00000001\n";
    if (refused_over_one_event && row.request > 8186) {
      EXPECT_EQ(r.exit_code, 1);
      EXPECT_EQ(r.err, "Error: The unit load request is " + std::to_string(row.request) +
                           " bytes, too long for this JACK server, which carries 8186 bytes in "
                           "one message at most; nothing of it was sent. Use the synthesizer's "
                           "ALSA ports, or jackd2 as the JACK server.\n"
                           "Error: Failed to load unit.\n");
      EXPECT_TRUE(loads.empty());
      slot0 = "[0]: free.\n";
    } else {
      expect_run(r, 0, before_size + (loads.empty() ? "" : size_line_of(loads.front())), "");
      ASSERT_EQ(loads.size(), 1u);
      EXPECT_EQ(parse_hex_line(loads.front()).size(), row.request);
    }
    // The device is not left inside a SysEx message: it answers at once.
    expect_run(rig.run_cli({"probe", "-m", "osc"}), 0,
               kVestrelHead + "> Oscillator status:\n" + slot0 + "[1]: free.\n", "");
  }
}

}  // namespace
}  // namespace quave::test::pipewire_tests
