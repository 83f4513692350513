// load against the simulator over a private JACK server.
#include <gtest/gtest.h>

#include "tests/e2e/device_texts.hpp"
#include "tests/e2e/unit_files.hpp"
#include "tests/support/terminal_run.hpp"

namespace quave::test {
namespace {

const std::string kOscTarget =
    "> Target platform: \"vestrel\"\n"
    "> Target module: \"Oscillator\"\n";
const std::string kFirstFree = "> No slot specified, using first available.\n";

std::string head() { return parsing_lines() + "> Handshaking...\n"; }

// Loads `unit` with `args` and checks that the handshake came first and that
// exactly one load request was sent, to module 4 and `slot`; returns the run.
ProcessResult load_once(MidiRig& rig, int sim, const std::string& path,
                        const std::vector<std::string>& args, const std::string& slot) {
  std::vector<std::string> argv{"load", "-u", path};
  argv.insert(argv.end(), args.begin(), args.end());
  const ProcessResult r = rig.run_cli(argv);
  const auto log = rig.request_log_lines(sim);
  const auto loads = requests_with_function(rig, sim, "4a");
  EXPECT_FALSE(log.empty());
  if (!log.empty()) {
    EXPECT_EQ(log.front(), "f0 42 50 00 55 f7");
  }
  EXPECT_EQ(loads.size(), 1u) << r.out << r.err;
  if (!loads.empty()) {
    EXPECT_EQ(log.back(), loads.front());
    // Byte 2 carries no channel; then module 4 and the slot.
    EXPECT_EQ(loads.front().substr(0, 26), "f0 42 30 00 01 4b 4a 04 " + slot);
  }
  return r;
}

TEST(LoadE2E, SlotChoice) {
  TempDir dir;
  const std::string path = write_unit(dir, {});
  struct Row {
    const char* what;
    std::vector<std::string> args;
    std::string slot;
    std::string chosen_line;
    std::string listing;  // probe -m osc afterwards
  };
  const std::string saw = "\"Saw\" v1.00-0 api:1.01-0 did:00000000 uid:00000001";
  const std::string taken = "\"taken\" v1.00-0 api:1.01-0 did:00000000 uid:00000001";
  const Row rows[] = {
      {"first free after an occupied slot 0", {}, "01", kFirstFree,
       "[0]: " + taken + "\n[1]: " + saw + "\n[2]: free.\n"},
      {"explicit free slot", {"-s", "2"}, "02", "",
       "[0]: " + taken + "\n[1]: free.\n[2]: " + saw + "\n"},
      {"explicit occupied slot is overwritten", {"--slot", "0"}, "00", "",
       "[0]: " + saw + "\n[1]: free.\n[2]: free.\n"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    MidiRig rig;
    const int sim = rig.start_sim({"--slots", "osc:3", "--preload", "osc:0:taken"});
    const ProcessResult r = load_once(rig, sim, path, row.args, row.slot);
    const auto loads = requests_with_function(rig, sim, "4a");
    ASSERT_EQ(loads.size(), 1u);
    expect_run(r, 0, head() + kOscTarget + row.chosen_line + size_line_of(loads.front()), "");
    EXPECT_EQ(size_line_of(loads.front()).substr(0, 10), "size: 4c4 ");  // 64 + 1156 bytes
    expect_run(rig.run_cli({"probe", "-m", "osc"}), 0,
               kVestrelHead + "> Oscillator status:\n" + row.listing, "");
  }
}

TEST(LoadE2E, VerboseNarratesTheLoad) {
  TempDir dir;
  const std::string path = write_unit(dir, {});
  MidiRig rig;
  const int sim = rig.start_sim({"--no-info", "global", "--slots", "modfx:0", "--slots",
                                 "delfx:0", "--slots", "revfx:0", "--slots", "osc:1"});
  const ProcessResult r = load_once(rig, sim, path, {"-v"}, "00");
  const auto loads = requests_with_function(rig, sim, "4a");
  ASSERT_EQ(loads.size(), 1u);
  expect_run(r, 0,
             head() +
                 "input: vestrel KBD/KNOB, port: 0\n"
                 "output: vestrel SOUND, port: 0\n"
                 "\n" +
                 kVestrelHead +
                 "> Available modules:\n"
                 "\n"
                 "Global: no info.\n"
                 "Modulation FX: [ slot_count: 0, max_payload_size: 8192, max_load_size: 16384 ]\n"
                 "Delay FX: [ slot_count: 0, max_payload_size: 12288, max_load_size: 24576 ]\n"
                 "Reverb FX: [ slot_count: 0, max_payload_size: 12288, max_load_size: 24576 ]\n"
                 "Oscillator: [ slot_count: 1, max_payload_size: 12288, max_load_size: 24576 ]\n"
                 "\n"
                 "> Status:\n"
                 "\n"
                 "Oscillator 0: free.\n"
                 "\n" +
                 kOscTarget + kFirstFree + "> Loading \"Oscillator\" unit \"Saw\" into slot #0\n\n" +
                 size_line_of(loads.front()) + "\n",
             "");
}

TEST(LoadE2E, RefusalsSendNothing) {
  TempDir dir;
  const std::string path = write_unit(dir, {});
  MidiRig rig;
  const int sim = rig.start_sim({"--slots", "osc:2", "--preload", "osc:0:a", "--preload", "osc:1:b"});
  expect_run(rig.run_cli({"load", "-u", path}), 1, head() + kOscTarget,
             "Error: No target slot specified and all module's slots currently in use. Use the "
             "-s/--slot option to specify which slot to overwrite.\n");
  expect_run(rig.run_cli({"load", "-u", path, "-s", "2"}), 1, head() + kOscTarget,
             "Error: Slot index too large. Only 2 slots available.\n");

  // A module without slots leaves nothing to choose from.
  const std::string fx = write_unit(dir, {"fx.vstlunit", "vestrel", "modfx", "UMOD", "Fx", 64});
  rig.stop_sim(sim);
  const int sim2 = rig.start_sim({"--slots", "modfx:0"});
  expect_run(rig.run_cli({"load", "-u", fx}), 1,
             head() + "> Target platform: \"vestrel\"\n> Target module: \"Modulation FX\"\n",
             "Error: No target slot specified and all module's slots currently in use. Use the "
             "-s/--slot option to specify which slot to overwrite.\n");
  EXPECT_TRUE(requests_with_function(rig, sim, "4a").empty());
  EXPECT_TRUE(requests_with_function(rig, sim2, "4a").empty());
}

TEST(LoadE2E, ImageSizeAgainstTheModuleLimit) {
  TempDir dir;
  const UnitSpec unit;
  const std::string path = write_unit(dir, unit);
  const std::string size = std::to_string(unit.image_size());
  {
    MidiRig rig;
    const int sim = rig.start_sim({"--max-payload", "osc:" + size});
    const ProcessResult r = load_once(rig, sim, path, {}, "00");
    EXPECT_EQ(r.exit_code, 0) << r.err;
  }
  MidiRig rig;
  const int sim = rig.start_sim({"--max-payload", "osc:" + std::to_string(unit.image_size() - 1)});
  expect_run(rig.run_cli({"load", "-u", path}), 1, head() + kOscTarget,
             "Error: Unit is too large for target module. (" + size + " > " +
                 std::to_string(unit.image_size() - 1) + ")\n");
  EXPECT_TRUE(requests_with_function(rig, sim, "4a").empty());
}

// 16,384 bytes, a limit devices announce: about 18.8 KB of SysEx, more than
// RtMidi's JACK output carries as one message.
TEST(LoadE2E, LargestImageArrivesWhole) {
  TempDir dir;
  UnitSpec unit;
  unit.payload_size = 16384 - 1156;
  const std::string path = write_unit(dir, unit);
  MidiRig rig;
  const int sim = rig.start_sim({"--max-payload", "osc:16384"});
  const ProcessResult r = load_once(rig, sim, path, {"-s", "3"}, "03");
  const auto loads = requests_with_function(rig, sim, "4a");
  ASSERT_EQ(loads.size(), 1u) << r.err << rig.diagnostics();
  EXPECT_EQ(parse_hex_line(loads.front()).size(), 18744u);
  expect_run(r, 0, head() + kOscTarget + size_line_of(loads.front()), "");
  EXPECT_EQ(size_line_of(loads.front()).substr(0, 11), "size: 4000 ");
  if (HasFailure()) std::cerr << rig.diagnostics();
}

TEST(LoadE2E, UnitForAnotherModelIsSentWithAWarning) {
  TempDir dir;
  const std::string path =
      write_unit(dir, {"saw.hlvnrxunit", "halvane-rx", "osc", "UOSC", "Saw", 64});
  MidiRig rig;
  const int sim = rig.start_sim({});
  const ProcessResult r = load_once(rig, sim, path, {}, "00");
  const auto loads = requests_with_function(rig, sim, "4a");
  ASSERT_EQ(loads.size(), 1u);
  // The simulator checks the target itself and refuses.
  expect_run(r, 1,
             parsing_lines("halvane rx") + "> Handshaking...\n" +
                 "> Target platform: \"halvane rx\"\n"
                 "Warning: unit target platform does not match connected device (vestrel).\n"
                 "> Target module: \"Oscillator\"\n" +
                 kFirstFree + size_line_of(loads.front()),
             "Error: Invalid unit target.\nError: Failed to load unit.\n");
}

TEST(LoadE2E, EveryDeviceErrorStatus) {
  TempDir dir;
  const std::string path = write_unit(dir, {});
  const std::pair<const char*, const char*> rows[] = {
      {"0x24", "Error: Device reported error code 1."},
      {"0x26", "Error: Device reported error code 2."},
      {"0x27", "Error: Unit data too large."},
      {"0x28", "Error: CRC verification failed."},
      {"0x29", "Error: Invalid unit target."},
      {"0x2a", "Error: Incompatible API version."},
      {"0x2b", "Error: Loadable code size too large."},
      {"0x2c", "Error: Referenced an invalid module."},
      {"0x2d", "Error: Referenced an invalid slot."},
      {"0x2e", "Error: Invalid unit data format."},
      {"0x2f", "Error: Internal error."},
  };
  MidiRig rig;
  for (const auto& [status, line] : rows) {
    SCOPED_TRACE(status);
    const int sim = rig.start_sim({"--status", std::string("load:") + status});
    const ProcessResult r = load_once(rig, sim, path, {}, "00");
    const auto loads = requests_with_function(rig, sim, "4a");
    ASSERT_EQ(loads.size(), 1u);
    expect_run(r, 1, head() + kOscTarget + kFirstFree + size_line_of(loads.front()),
               std::string(line) + "\nError: Failed to load unit.\n");
    rig.stop_sim(sim);
  }
}

// Each of these waits out the five-second load time-out.
TEST(LoadE2E, UnrecognisedStatusThenTimeOut) {
  TempDir dir;
  const std::string path = write_unit(dir, {});
  MidiRig rig;
  const int sim = rig.start_sim({"--status", "load:0x25"});
  const ProcessResult r = load_once(rig, sim, path, {}, "00");
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_EQ(r.err,
            "Warning: Unrecognized status message received. (0x25)\n"
            "Error: Unit load request timed out.\n"
            "Error: Failed to load unit.\n");
}

TEST(LoadE2E, SilentDeviceTimesOut) {
  TempDir dir;
  const std::string path = write_unit(dir, {});
  MidiRig rig;
  const int sim = rig.start_sim({"--silent", "load"});
  const ProcessResult r = load_once(rig, sim, path, {}, "00");
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_EQ(r.err, "Error: Unit load request timed out.\nError: Failed to load unit.\n");
}

TEST(LoadE2E, FrontBeforeAnyMidi) {
  TempDir dir;
  const std::string path = write_unit(dir, {});
  MidiRig rig;
  const int sim = rig.start_sim({});
  expect_run(rig.run_cli({"load", "--list"}), 0, "> Handshaking...\n" + kSimListing + "\n", "");
  expect_run(rig.run_cli({"load", "-v"}), 1, "", "Error: Must specify a unit to load.\n\n");
  // The package is validated before the port pair is looked at.
  expect_run(rig.run_cli({"load", "-u", path, "-i", "0"}), 1, parsing_lines(),
             "Error: Both input and output ports must be specified when using explicit MIDI "
             "port options.\n");
  expect_run(rig.run_cli({"load", "-u", dir.file("missing.vstlunit"), "-i", "0"}), 1,
             "> Parsing vestrel unit archive\n",
             rig.run_cli({"check", "-u", dir.file("missing.vstlunit")}).err);
  EXPECT_TRUE(rig.request_log_lines(sim).empty());
}

// On a terminal a load that is sent within a second draws nothing more than
// it prints elsewhere.
TEST(LoadE2E, AQuickLoadOnATerminalDrawsNoProgress) {
  TempDir dir;
  MidiRig rig;
  const int sim = rig.start_sim({});
  const TerminalRun r = run_on_terminal({cli_path(), "load", "-u", write_unit(dir, {}), "-s", "1"}, 60000, rig.env());
  const auto loads = requests_with_function(rig, sim, "4a");
  ASSERT_EQ(loads.size(), 1u) << r.drawn;
  EXPECT_EQ(r.exit_code, 0);
  std::string lines = head() + kOscTarget + size_line_of(loads.front());
  std::string crlf;
  for (const char c : lines) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
  EXPECT_EQ(r.drawn, crlf);
}

}  // namespace
}  // namespace quave::test
