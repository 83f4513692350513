// probe against the simulator over a private JACK server.
#include <RtMidi.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <sstream>

#include "tests/e2e/device_texts.hpp"
#include "tests/e2e/json_leaves.hpp"
#include "tests/support/limited_process.hpp"
#include "tests/support/midi_rig.hpp"

namespace quave::test {
namespace {

TEST(ProbeE2E, EachModel) {
  struct Row {
    std::vector<std::string> sim;
    std::string head;
  };
  const Row rows[] = {
      {{}, kVestrelHead},
      {{"--platform", "halvane-rx", "--system-version", "0.98", "--api-version", "1.2-3"},
       report_head("halvane rx", "0.98b", "1.02-3")},
      // The channel must be merged into the requests, or nothing answers.
      {{"--platform", "orvalt-tonal", "--channel", "5", "--strict-channel", "--system-version",
        "120.100"},
       report_head("orvalt tonal", "99.99", "1.01-0")},
  };
  for (const Row& row : rows) {
    MidiRig rig;
    rig.start_sim(row.sim);
    expect_run(rig.run_cli({"probe"}), 0, row.head + kDefaultModules, "");
  }
}

TEST(ProbeE2E, OneModulesSlots) {
  MidiRig rig;
  const int sim = rig.start_sim({"--slots", "osc:3", "--preload", "osc:1:saw:17:5:1.2-3",
                                 "--slots", "global:0"});
  expect_run(rig.run_cli({"probe", "--module", "osc"}), 0,
             kVestrelHead +
                 "> Oscillator status:\n"
                 "[0]: free.\n"
                 "[1]: \"saw\" v1.02-3 api:1.01-0 did:00000011 uid:00000005\n"
                 "[2]: free.\n",
             "");
  expect_run(rig.run_cli({"probe", "-m", "global"}), 0, kVestrelHead + "> Global status:\n", "");

  const size_t before = rig.request_log_lines(sim).size();
  expect_run(rig.run_cli({"probe", "-m", "Osc"}), 1, "", "Error: Invalid module specifier. (Osc)\n");
  EXPECT_EQ(rig.request_log_lines(sim).size(), before);
}

TEST(ProbeE2E, MoreThanSixteenSlotsListsSixteen) {
  MidiRig rig;
  const int sim = rig.start_sim({"--slots", "osc:20", "--preload", "osc:19:last"});
  const ProcessResult r = rig.run_cli({"probe", "-m", "osc"});
  std::string slots;
  for (int i = 0; i < 16; ++i) slots += "[" + std::to_string(i) + "]: free.\n";
  expect_run(r, 0, kVestrelHead + "> Oscillator status:\n" + slots, "");
  const auto log = rig.request_log_lines(sim);
  ASSERT_FALSE(log.empty());
  EXPECT_EQ(log.back(), "f0 42 30 00 01 4b 19 04 0f f7");
}

// The MIDI library must close ports through the program's own
// jack_port_unregister: libjack's, on an active client, races the client's
// notification thread and can crash the program after its last line.
TEST(ProbeE2E, PortsCloseThroughTheProgramsUnregister) {
  MidiRig rig;
  rig.start_sim({});
  std::vector<std::string> env = rig.env();
  env.push_back("LD_DEBUG=bindings");
  env.push_back("LD_DEBUG_OUTPUT=" + rig.dir() + "/bindings");
  const LimitedResult r = run_limited({cli_path(), "probe"}, 60000, env);
  EXPECT_EQ(r.run.exit_code, 0) << r.run.err;
  std::string binding;
  for (const auto& entry : std::filesystem::directory_iterator(rig.dir())) {
    if (entry.path().filename().string().rfind("bindings.", 0) != 0) continue;
    std::istringstream lines(read_file(entry.path().string()));
    for (std::string line; std::getline(lines, line);) {
      if (line.find("librtmidi") != std::string::npos &&
          line.find("`jack_port_unregister'") != std::string::npos) {
        binding = line;
      }
    }
  }
  EXPECT_NE(binding.find(" to " + cli_path() + " "), std::string::npos) << binding;
}

TEST(ProbeE2E, VerboseNarratesThenReports) {
  MidiRig rig;
  rig.start_sim({"--no-info", "global", "--slots", "modfx:1", "--slots", "delfx:0", "--slots",
                 "revfx:0", "--slots", "osc:2", "--preload", "osc:1:saw:0:1"});
  const std::string modules =
      "Modulation FX: [ slot_count: 1, max_payload_size: 8192, max_load_size: 16384 ]\n"
      "Delay FX: [ slot_count: 0, max_payload_size: 12288, max_load_size: 24576 ]\n"
      "Reverb FX: [ slot_count: 0, max_payload_size: 12288, max_load_size: 24576 ]\n"
      "Oscillator: [ slot_count: 2, max_payload_size: 12288, max_load_size: 24576 ]\n";
  expect_run(rig.run_cli({"probe", "-v"}), 0,
             "input: vestrel KBD/KNOB, port: 0\n"
             "output: vestrel SOUND, port: 0\n"
             "\n" +
                 kVestrelHead +
                 "> Available modules:\n"
                 "\n"
                 "Global: no info.\n" +
                 modules +
                 "\n"
                 "> Status:\n"
                 "\n"
                 "Modulation FX 0: free.\n"
                 "\n"
                 "Oscillator 0: free.\n"
                 "Oscillator 1: \"saw\" v1.00-0 api:1.01-0 did:00000000 uid:00000001\n"
                 "\n" +
                 kVestrelHead + "> Available modules:\n\n" + modules,
             "");
}

TEST(ProbeE2E, DebugDumpsEveryRequestAndAcceptedReply) {
  MidiRig rig;
  rig.start_sim({"--no-info", "global", "--no-info", "modfx", "--no-info", "delfx", "--no-info",
                 "revfx", "--slots", "osc:1"});
  std::string dumps =
      ">>> { f0, 42, 50, 0, 55, f7 }\n"
      "<<< { f0, 42, 50, 1, 0, 55, 4b, 1, 0, 0, 1, 0, a, 0, f7 }\n"
      ">>> { f0, 42, 30, 0, 1, 4b, 17, f7 }\n"
      "<<< { f0, 42, 30, 0, 1, 4b, 47, 1, 1, 1, 0, f7 }\n";
  for (int m = 0; m < 4; ++m) {
    const std::string id = std::to_string(m);
    dumps += ">>> { f0, 42, 30, 0, 1, 4b, 18, " + id + ", f7 }\n";
    dumps += "<<< { f0, 42, 30, 0, 1, 4b, 48, " + id + ", 0, f7 }\n";
  }
  dumps +=
      ">>> { f0, 42, 30, 0, 1, 4b, 18, 4, f7 }\n"
      "<<< { f0, 42, 30, 0, 1, 4b, 48, 4, 0, 0, 0, 30, 0, 0, 0, 60, 0, 0, 0, 1, 0, 0, 0, 0, 0, "
      "0, 0, 0, f7 }\n"
      ">>> { f0, 42, 30, 0, 1, 4b, 19, 4, 0, f7 }\n"
      "<<< { f0, 42, 30, 0, 1, 4b, 49, 4, 0, 0, f7 }\n";
  const ProcessResult r = rig.run_cli({"probe", "-d"});
  EXPECT_EQ(r.exit_code, 0);
  // Debug mode lets the MIDI libraries speak on standard error; what they say
  // depends on the machine, but none of it is ours.
  EXPECT_EQ(r.err.find("Error: "), std::string::npos) << r.err;
  EXPECT_EQ(r.out,
             dumps + kVestrelHead +
                 "> Available modules:\n"
                 "\n"
                 "Modulation FX: [ slot_count: 0, max_payload_size: 0, max_load_size: 0 ]\n"
                 "Delay FX: [ slot_count: 0, max_payload_size: 0, max_load_size: 0 ]\n"
                 "Reverb FX: [ slot_count: 0, max_payload_size: 0, max_load_size: 0 ]\n"
                 "Oscillator: [ slot_count: 1, max_payload_size: 12288, max_load_size: 24576 ]\n");
}

TEST(ProbeE2E, ListAndExplicitPorts) {
  MidiRig rig;
  const int sim = rig.start_sim({});
  // --list wins over everything after it: no module lookup, no narration.
  expect_run(rig.run_cli({"probe", "--list", "-m", "bogus", "-v", "-i", "3"}), 0,
             kSimListing + "\n", "");
  EXPECT_TRUE(rig.request_log_lines(sim).empty());

  expect_run(rig.run_cli({"probe", "-i", "0", "-o", "0"}), 0, kVestrelHead + kDefaultModules, "");
  expect_run(rig.run_cli({"probe", "-i", "1", "-o", "0"}), 1, "",
             "Error: Could not open quave input port.\n"
             "Quave interface connection failed.\n" +
                 kSimListing + "\n");
  // Index 1 would be this program's own input port once that is open.
  // The input port stays open until the program ends, so the listing after
  // the failure shows it among the outputs.
  expect_run(rig.run_cli({"probe", "-i", "0", "-o", "5"}), 1, "",
             "Error: Could not open quave output port.\n"
             "Quave interface connection failed.\n" +
                 port_listing({kSimInput}, {kSimOutput, "RtMidi Input Client:RtMidi Input"}) +
                 "\n");
  // Indices that cannot be opened are refused before MIDI is touched.
  const size_t before = rig.request_log_lines(sim).size();
  expect_run(rig.run_cli({"probe", "-i", "128", "-o", "200"}), 1, "",
             "Error: MIDI port index out of range. Use a value from 0 to 127.\n");
  expect_run(rig.run_cli({"probe", "-o", "0"}), 1, "",
             "Error: Both input and output ports must be specified when using explicit MIDI "
             "port options.\n");
  EXPECT_EQ(rig.request_log_lines(sim).size(), before);
}

TEST(ProbeE2E, NoDeviceOrOnePortOnly) {
  MidiRig rig;
  expect_run(rig.run_cli({"probe"}), 1, "", kNoMatch + kNoPortsFailure);
  expect_run(rig.run_cli({"probe", "--json"}), 1, "", kNoMatch + kNoPortsFailure);

  // A lone port that looks like the device's input, with no output beside it.
  struct ServerEnv {
    explicit ServerEnv(const std::string& name) { setenv("JACK_DEFAULT_SERVER", name.c_str(), 1); }
    ~ServerEnv() { unsetenv("JACK_DEFAULT_SERVER"); }  // later rigs name their own
  } server_env(rig.server_name());
  RtMidiOut lone(RtMidi::UNIX_JACK, "lone");
  lone.openVirtualPort("vestrel KBD/KNOB");
  // Another program's name, as the listing shows it: its own characters,
  // never a control character for the terminal.
  RtMidiOut odd(RtMidi::UNIX_JACK, "odd");
  odd.openVirtualPort("evil \x1b[2J\x1b]0;owned\x07 caf\xc3\xa9 \xc2\x9b \xff.");
  expect_run(rig.run_cli({"probe", "-v"}), 1, "input: vestrel KBD/KNOB, port: 0\n",
             kNoMatch + "Quave interface connection failed.\n" +
                 port_listing({"lone:vestrel KBD/KNOB", "odd:evil ?[2J?]0;owned? caf\xc3\xa9 ? ?."}, {}) +
                 "\n");
}

// Where no backend opens, the empty listing says why, for --list as for a
// failed connection.
TEST(ProbeE2E, NoBackendOpensSaysWhy) {
  const bool has_sequencer = access("/dev/snd/seq", F_OK) == 0;
  std::string why;
  if (!has_sequencer) {
    why = "  ALSA: cannot open /dev/snd/seq: No such file or directory (this system has no ALSA "
          "sequencer: its kernel module is snd-seq)\n"
          "  JACK: no JACK server is running\n";
  }
  const std::vector<std::string> no_server{"JACK_DEFAULT_SERVER=quave-none"};
  const ProcessResult listed = run_process({cli_path(), "probe", "-l"}, no_server);
  const ProcessResult failed = run_process({cli_path(), "clear", "-m", "osc", "-a"}, no_server);
  if (has_sequencer) {
    // A machine with a sequencer opens it: nothing to explain.
    EXPECT_EQ(listed.out.find("ALSA:"), std::string::npos) << listed.out;
    return;
  }
  expect_run(listed, 0, kNoPorts + why + "\n", "");
  expect_run(failed, 1, "> Handshaking...\n",
             kNoMatch + "Error: Quave interface connection failed.\n" + kNoPorts + why + "\n");
  // As JSON, each reason a text.
  const ProcessResult json = run_process({cli_path(), "probe", "-l", "--json"}, no_server);
  EXPECT_EQ(json.exit_code, 0);
  EXPECT_EQ(json.err, "");
  expect_leaves(json_leaves({json.out}).front(),
                {{"inputs", "[]"},
                 {"outputs", "[]"},
                 {"synthesizers", "[]"},
                 {"problems.0", json_text("ALSA: cannot open /dev/snd/seq: No such file or directory "
                                          "(this system has no ALSA sequencer: its kernel module is "
                                          "snd-seq)")},
                 {"problems.1", json_text("JACK: no JACK server is running")}},
                json.out);
}

// Faults the handshake meets: each ends it with one line and no retry.
struct Fault {
  const char* name;
  std::vector<std::string> sim;
  std::string line;
  size_t requests;  // what reached the device
};

class ProbeFaultE2E : public testing::TestWithParam<Fault> {};

TEST_P(ProbeFaultE2E, FailsWithItsLine) {
  const Fault& f = GetParam();
  MidiRig rig;
  const int sim = rig.start_sim(f.sim);
  expect_run(rig.run_cli({"probe"}), 1, "", f.line + "Quave handshake failed.\n");
  EXPECT_EQ(rig.request_log_lines(sim).size(), f.requests);
  // As JSON, the same lines, and nothing of what was learnt before the
  // fault on standard output, even narrated.
  const ProcessResult json = rig.run_cli({"probe", "--json", "-v"});
  EXPECT_EQ(json.exit_code, 1);
  EXPECT_EQ(json.out, "");
  const std::string tail = f.line + "Quave handshake failed.\n";
  ASSERT_GE(json.err.size(), tail.size());
  EXPECT_EQ(json.err.substr(json.err.size() - tail.size()), tail) << json.err;
  EXPECT_EQ(json.err.rfind("input: vestrel KBD/KNOB, port: 0\n", 0), 0u) << json.err;
}

INSTANTIATE_TEST_SUITE_P(
    Faults, ProbeFaultE2E,
    testing::Values(
        Fault{"silent_search", {"--silent", "search"}, "Error: Search device request timed out.\n", 1},
        Fault{"silent_api", {"--silent", "api"}, "Error: API version request timed out.\n", 2},
        Fault{"silent_module", {"--silent", "module-info"}, "Error: Module info request timed out.\n", 3},
        Fault{"silent_slot", {"--silent", "slot-status"}, "Error: Module info request timed out.\n", 8},
        Fault{"api_platform_0", {"--api-platform", "0"},
              "Error: Got user api reply for wrong target platform.\n", 2},
        Fault{"api_platform_4", {"--api-platform", "4"},
              "Error: Got user api reply for wrong target platform.\n", 2},
        Fault{"wrong_module_info", {"--wrong-module", "module-info"},
              "Error: Got module info with invalid module ID.\n", 3},
        Fault{"wrong_slot_module", {"--wrong-module", "slot-status"},
              "Error: Got slot status with invalid module ID.\n", 8},
        Fault{"wrong_slot", {"--wrong-slot", "slot-status"},
              "Error: Got slot status with invalid slot ID.\n", 8}),
    [](const testing::TestParamInfo<Fault>& info) { return std::string(info.param.name); });

// Disturbances the handshake must ride out: the report is the usual one.
struct Disturbance {
  const char* name;
  std::vector<std::string> sim;
};

class ProbeDisturbanceE2E : public testing::TestWithParam<Disturbance> {};

TEST_P(ProbeDisturbanceE2E, StillReports) {
  MidiRig rig;
  const int sim = rig.start_sim(GetParam().sim);
  expect_run(rig.run_cli({"probe"}), 0, kVestrelHead + kDefaultModules, "");
  EXPECT_EQ(rig.request_log_lines(sim).size(), 7u + 40u);
}

INSTANTIATE_TEST_SUITE_P(
    Disturbances, ProbeDisturbanceE2E,
    testing::Values(Disturbance{"realtime_bytes", {"--realtime", "all"}},
                    Disturbance{"unrelated_messages", {"--noise", "all"}},
                    // Not the search: the first request can wait a while for a
                    // slow (sanitized) build's MIDI thread to run at all. Late,
                    // with room left in the one-second wait for a loaded machine.
                    Disturbance{"late_replies", {"--delay", "api,module-info:600"}},
                    Disturbance{"repeated_search_and_api", {"--twice", "search,api"}}),
    [](const testing::TestParamInfo<Disturbance>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace quave::test
