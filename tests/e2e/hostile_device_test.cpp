// Devices that misbehave on the wire: floods of unrelated traffic, replies cut
// short or padded out, replies too long for the MIDI link to carry. The
// program either succeeds or fails with its exact lines, within its time-outs.
#include <gtest/gtest.h>

#include "device/protocol/messages.hpp"
#include "tests/e2e/device_texts.hpp"
#include "tests/e2e/unit_files.hpp"
#include "tests/support/limited_process.hpp"
#include "tests/support/midi_client.hpp"

// A namespace of its own: the test files of a program compile together.
namespace quave::test::hostile_device_tests {
namespace {

// Generous beside the program's own time-outs, so that only a hang trips it.
constexpr double kSlackSeconds = kSanitizedBuild ? 8 : 4;

LimitedResult run_cli_limited(const MidiRig& rig, const std::vector<std::string>& args,
                              double expected_seconds) {
  std::vector<std::string> argv{cli_path()};
  argv.insert(argv.end(), args.begin(), args.end());
  const int limit_ms = static_cast<int>((expected_seconds + kSlackSeconds) * 1000) + 10000;
  const LimitedResult r = run_limited(argv, limit_ms, rig.env());
  EXPECT_FALSE(r.timed_out);
  EXPECT_EQ(r.signal, 0);
  EXPECT_LT(r.seconds, expected_seconds + kSlackSeconds) << "slower than its time-outs allow";
  return r;
}

std::string handshake_failed(const std::string& line) { return line + "Quave handshake failed.\n"; }

std::string modules_with_slot_count_zero() {
  return "> Available modules:\n"
         "\n"
         "Modulation FX: [ slot_count: 0, max_payload_size: 8192, max_load_size: 16384 ]\n"
         "Delay FX: [ slot_count: 0, max_payload_size: 12288, max_load_size: 24576 ]\n"
         "Reverb FX: [ slot_count: 0, max_payload_size: 12288, max_load_size: 24576 ]\n"
         "Oscillator: [ slot_count: 0, max_payload_size: 12288, max_load_size: 24576 ]\n";
}

// The flood is only a test if it reaches the other end, the reply last. JACK
// drops what does not fit into one period's buffer, which happens when a
// loaded machine delays the simulator's process thread, so some of the flood
// may go missing; most of it must arrive.
TEST(HostileDevice, FloodCrossesTheLink) {
  MidiRig rig;
  const int sim = rig.start_sim({"--flood", "api:2000"});
  MidiClient client(rig.server_name(), "vestrel KBD/KNOB", "vestrel SOUND");
  const DeviceAddress vestrel{0, {0x00, 0x01, 0x4B}};
  const auto got = client.exchange(make_api_version_request(vestrel), 2001);
  ASSERT_GT(got.size(), 1000u) << rig.sim_stderr(sim);
  EXPECT_EQ(got.back(), (Bytes{0xF0, 0x42, 0x30, 0x00, 0x01, 0x4B, 0x47, 0x01, 0x01, 0x01, 0x00, 0xF7}));
}

struct ProbeCase {
  const char* name;
  std::vector<std::string> sim;
  int exit_code;
  std::string out;
  std::string err;
  double seconds;  // what its time-outs and the traffic allow, roughly
};

class HostileDeviceProbe : public testing::TestWithParam<ProbeCase> {};

TEST_P(HostileDeviceProbe, EndsAsExpected) {
  const ProbeCase& c = GetParam();
  MidiRig rig;
  rig.start_sim(c.sim);
  const LimitedResult r = run_cli_limited(rig, {"probe"}, c.seconds);
  expect_run(r.run, c.exit_code, c.out, c.err);
}

INSTANTIATE_TEST_SUITE_P(
    Replies, HostileDeviceProbe,
    testing::Values(
        // 300 messages before each of the 47 replies: 15 ms of traffic each.
        ProbeCase{"flood_during_handshake", {"--flood", "all:300"}, 0, kVestrelHead + kDefaultModules, "", 3},
        ProbeCase{"search_reply_cut_short", {"--truncate", "search:1"}, 1, "",
                  handshake_failed("Error: Search device request timed out.\n"), 1},
        ProbeCase{"search_reply_padded", {"--overlong", "search:1"}, 1, "",
                  handshake_failed("Error: Search device request timed out.\n"), 1},
        ProbeCase{"api_reply_cut_short", {"--truncate", "api:1"}, 1, "",
                  handshake_failed("Error: API version request timed out.\n"), 1},
        ProbeCase{"api_reply_padded", {"--overlong", "api:3"}, 1, "",
                  handshake_failed("Error: API version request timed out.\n"), 1},
        // Ten packed bytes fewer leave seven data bytes: the sizes survive, the
        // slot count is gone, so no slot is asked for.
        ProbeCase{"module_info_cut_to_seven_bytes", {"--truncate", "module-info:10"}, 0,
                  kVestrelHead + modules_with_slot_count_zero(), "", 1},
        // Everything past the 16 bytes of a record is ignored.
        ProbeCase{"module_info_padded_near_the_link_limit", {"--overlong", "module-info:16000"}, 0,
                  kVestrelHead + kDefaultModules, "", 2},
        // The link drops a message that long without a word: a time-out.
        ProbeCase{"module_info_too_long_for_the_link", {"--overlong", "module-info:17000"}, 1, "",
                  handshake_failed("Error: Module info request timed out.\n"), 1},
        // Shorter than its header: not a slot status reply at all.
        ProbeCase{"slot_status_cut_into_its_header", {"--truncate", "slot-status:2"}, 1, "",
                  handshake_failed("Error: Module info request timed out.\n"), 1}),
    [](const testing::TestParamInfo<ProbeCase>& info) { return std::string(info.param.name); });

TEST(HostileDevice, PaddedSlotStatusKeepsTheRecord) {
  MidiRig rig;
  rig.start_sim({"--slots", "osc:2", "--preload", "osc:1:saw:17:5:1.2-3", "--overlong", "slot-status:40"});
  const LimitedResult r = run_cli_limited(rig, {"probe", "-m", "osc"}, 1);
  expect_run(r.run, 0,
             kVestrelHead +
                 "> Oscillator status:\n"
                 "[0]: free.\n"
                 "[1]: \"saw\" v1.02-3 api:1.01-0 did:00000011 uid:00000005\n",
             "");
}

const std::string kOscTarget =
    "> Target platform: \"vestrel\"\n"
    "> Target module: \"Oscillator\"\n"
    "> No slot specified, using first available.\n";

struct LoadCase {
  const char* name;
  std::vector<std::string> sim;
  int exit_code;
  std::string err;
  double seconds;
};

class HostileDeviceLoad : public testing::TestWithParam<LoadCase> {};

// The largest unit the oscillator module takes, so the load request itself
// is near what one message can carry.
TEST_P(HostileDeviceLoad, EndsAsExpected) {
  const LoadCase& c = GetParam();
  TempDir dir;
  UnitSpec unit;
  unit.payload_size = 12288 - 1156;
  const std::string path = write_unit(dir, unit);
  MidiRig rig;
  const int sim = rig.start_sim(c.sim);
  const LimitedResult r = run_cli_limited(rig, {"load", "-u", path}, c.seconds);
  const auto loads = requests_with_function(rig, sim, "4a");
  ASSERT_EQ(loads.size(), 1u);
  expect_run(r.run, c.exit_code,
             parsing_lines() + "> Handshaking...\n" + kOscTarget + size_line_of(loads.front()),
             c.err);
}

INSTANTIATE_TEST_SUITE_P(
    Replies, HostileDeviceLoad,
    testing::Values(
        LoadCase{"flood_during_handshake_and_load", {"--flood", "all:200"}, 0, "", 3},
        LoadCase{"flood_of_two_seconds_before_the_acknowledge", {"--flood", "load:40000"}, 0, "", 4},
        LoadCase{"status_padded", {"--overlong", "load:100"}, 0, "", 1},
        LoadCase{"status_cut_short", {"--truncate", "load:1"}, 1,
                 "Error: Unit load request timed out.\nError: Failed to load unit.\n", 6}),
    [](const testing::TestParamInfo<LoadCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace quave::test::hostile_device_tests
