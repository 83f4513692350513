// Several synthesizers, and two commands for one, on any backend: each
// command talks to the right synthesizer, and alone.
#pragma once

#include <gtest/gtest.h>
#include <RtMidi.h>
#include <signal.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "tests/e2e/unit_files.hpp"
#include "tests/e2e/device_texts.hpp"
#include "tests/e2e/json_leaves.hpp"
#include "tests/support/child_process.hpp"
#include "tests/support/limited_process.hpp"

namespace quave::test {

inline const UnitSpec kVestrelUnit{"saw.vstlunit", "vestrel", "osc", "UOSC", "Saw", 64};
inline const UnitSpec kHalvaneUnit{"saw.hlvnrxunit", "halvane-rx", "osc", "UOSC", "Saw", 64};

inline size_t loads_in(const MidiRig& rig, int sim) {
  return requests_with_function(rig, sim, "4a").size();
}

// A vestrel first, then a halvane rx whose ports list in another order:
// its SOUND port takes the number a port of this test's left free before
// the vestrel's, its KBD/KNOB port a number after them (or the other way
// round when it makes its output first). JACK numbers ports, and ALSA
// clients, from the lowest free one and lists them in that order.
struct TwoSynths {
  int vestrel;
  int halvane;
};
inline TwoSynths start_in_crossed_order(MidiRig& rig, RtMidi::Api api, bool output_first) {
  if (api == RtMidi::UNIX_JACK) setenv("JACK_DEFAULT_SERVER", rig.server_name().c_str(), 1);
  auto placeholder = std::make_unique<RtMidiOut>(api, "placeholder");
  placeholder->openVirtualPort("placeholder");
  TwoSynths synths{};
  synths.vestrel = rig.start_sim({});
  placeholder.reset();
  std::vector<std::string> options{"--platform", "halvane-rx"};
  if (output_first) options.push_back("--output-first");
  synths.halvane = rig.start_sim(options);
  return synths;
}

// Loads a unit of each model, then probes: each load goes to its model's
// synthesizer, probe to the first and says how to name the other.
inline void expect_each_unit_on_its_own(const MidiRig& rig, const TwoSynths& synths) {
  TempDir dir;
  const ProcessResult listing = rig.run_cli({"probe", "-l"});
  // The crossing itself: one list has the halvane rx first, the other not.
  const size_t in_v = listing.out.find("vestrel KBD/KNOB");
  const size_t in_h = listing.out.find("halvane rx KBD/KNOB");
  const size_t out_v = listing.out.find("vestrel SOUND");
  const size_t out_h = listing.out.find("halvane rx SOUND");
  ASSERT_NE(out_h, std::string::npos) << listing.out;
  ASSERT_NE((in_v < in_h), (out_v < out_h)) << listing.out;

  const ProcessResult halvane = rig.run_cli({"load", "-u", write_unit(dir, kHalvaneUnit)});
  EXPECT_EQ(halvane.exit_code, 0) << halvane.out << halvane.err;
  EXPECT_EQ(halvane.err, "");
  EXPECT_EQ(loads_in(rig, synths.halvane), 1u);
  EXPECT_EQ(loads_in(rig, synths.vestrel), 0u);

  const ProcessResult vestrel = rig.run_cli({"load", "-u", write_unit(dir, kVestrelUnit)});
  EXPECT_EQ(vestrel.exit_code, 0) << vestrel.out << vestrel.err;
  EXPECT_EQ(loads_in(rig, synths.halvane), 1u);
  EXPECT_EQ(loads_in(rig, synths.vestrel), 1u);

  // Probe takes the first input's synthesizer, and says how to name the other.
  const ProcessResult probe = rig.run_cli({"probe"});
  EXPECT_EQ(probe.exit_code, 0) << probe.err;
  const std::string first = in_v < in_h ? "vestrel" : "halvane rx";
  EXPECT_EQ(probe.out.rfind("> Device: " + first + "\n", 0), 0u) << probe.out;
  EXPECT_NE(probe.err.find("Note: 2 synthesizers found: "), std::string::npos) << probe.err;
  EXPECT_NE(probe.err.find("; this command uses the first. To use another, give its ports with "
                           "-i and -o.\n"),
            std::string::npos)
      << probe.err;
}

// Each of the two picked by its name, whatever the order of their ports:
// probe, a load of the other model's unit (with the warning), a clear; -l
// names them; a name that is no synthesizer's, and a name with ports, are
// refused before anything is sent.
inline void expect_names_pick_each(const MidiRig& rig, const TwoSynths& synths) {
  const ProcessResult listing = rig.run_cli({"probe", "-l"});
  EXPECT_EQ(listing.exit_code, 0);
  const std::vector<NamedPorts> named = synths_by_port_names(listed_ports(listing.out));
  ASSERT_EQ(named.size(), 2u) << listing.out;
  std::string block = "\n  Synthesizers:\n";
  for (const NamedPorts& synth : named) {
    block += "    " + synth.name + ": -i " + std::to_string(synth.in) + " -o " +
             std::to_string(synth.out) + "\n";
  }
  ASSERT_GE(listing.out.size(), block.size() + 1);
  EXPECT_EQ(listing.out.substr(listing.out.size() - block.size() - 1), block + "\n") << listing.out;

  for (const NamedPorts& synth : named) {
    expect_run(rig.run_cli({"probe", "-n", synth.name}), 0,
               report_head(synth.name, "1.10", "1.01-0") + kDefaultModules, "");
  }
  TempDir dir;
  const size_t vestrel_loads = loads_in(rig, synths.vestrel);
  const ProcessResult load =
      rig.run_cli({"load", "-n", "vestrel", "-u", write_unit(dir, kHalvaneUnit)});
  // As any unit of another model: the warning, and the device refuses it.
  EXPECT_NE(load.out.find("Warning: unit target platform does not match connected device "
                          "(vestrel).\n"),
            std::string::npos)
      << load.out;
  EXPECT_EQ(load.exit_code, 1);
  EXPECT_EQ(load.err, "Error: Invalid unit target.\nError: Failed to load unit.\n");
  EXPECT_EQ(loads_in(rig, synths.vestrel), vestrel_loads + 1) << load.out << load.err;
  EXPECT_EQ(loads_in(rig, synths.halvane), 1u);
  const size_t vestrel_clears = requests_with_function(rig, synths.vestrel, "1b").size();
  expect_run(rig.run_cli({"clear", "-n", "halvane rx", "-m", "osc", "-s", "0"}), 0,
             "> Handshaking...\n> Clearing slot #0 of \"Oscillator\" module.\n", "");
  EXPECT_EQ(requests_with_function(rig, synths.halvane, "1b").size(), 1u);
  EXPECT_EQ(requests_with_function(rig, synths.vestrel, "1b").size(), vestrel_clears);

  const size_t sent[] = {rig.request_log_lines(synths.vestrel).size(),
                         rig.request_log_lines(synths.halvane).size()};
  const std::string unknown = "Error: No synthesizer is named \"orvalt tonal\"; found \"" +
                              named[0].name + "\" and \"" + named[1].name + "\".\n";
  expect_run(rig.run_cli({"probe", "--json", "-n", "orvalt tonal"}), 1, "", unknown);
  expect_run(rig.run_cli({"clear", "-m", "osc", "-a", "--synth=orvalt tonal"}), 1,
             "> Handshaking...\n", unknown);
  expect_run(rig.run_cli({"load", "-u", write_unit(dir, kVestrelUnit), "-n", "vestrel", "-i", "0",
                          "-o", "0"}),
             1, parsing_lines(),
             "Error: Name the synthesizer with -n/--synth or its ports with -i and -o, not both.\n");
  EXPECT_EQ(rig.request_log_lines(synths.vestrel).size(), sent[0]);
  EXPECT_EQ(rig.request_log_lines(synths.halvane).size(), sent[1]);
}

// Runs both (slots 0 and 1, `ports` added) and checks that both loads were
// stored, that exactly one said it waited, and that the second began only
// after the first's load.
inline void expect_two_loads_in_turn(const MidiRig& rig, int sim, const std::string& unit,
                                     const std::vector<std::string>& ports = {}) {
  const size_t loads_before = requests_with_function(rig, sim, "4a").size();
  const size_t lines_before = rig.request_log_lines(sim).size();
  LimitedResult runs[2];
  std::thread loads[2];
  for (int i = 0; i < 2; ++i) {
    loads[i] = std::thread([&, i] {
      std::vector<std::string> argv{cli_path(), "load", "-u", unit, "-s", std::to_string(i)};
      argv.insert(argv.end(), ports.begin(), ports.end());
      runs[i] = run_limited(argv, 60000, rig.env());
    });
  }
  for (std::thread& t : loads) t.join();
  int waited = 0;
  for (const LimitedResult& r : runs) {
    EXPECT_EQ(r.run.exit_code, 0) << r.run.out << r.run.err;
    if (r.run.err.empty()) continue;
    ++waited;
    EXPECT_EQ(r.run.err.rfind("Waiting for vestrel", 0), 0u) << r.run.err;
    EXPECT_NE(r.run.err.find(": quave-cli load (process "), std::string::npos) << r.run.err;
    EXPECT_NE(r.run.err.find(") is using it. Ctrl-C stops the wait.\n"), std::string::npos);
  }
  EXPECT_EQ(waited, 1);
  EXPECT_EQ(lock_files(), std::vector<std::string>{});
  ASSERT_EQ(requests_with_function(rig, sim, "4a").size(), loads_before + 2) << rig.diagnostics();
  const std::vector<std::string> log = rig.request_log_lines(sim);
  size_t searches_before_first_load = 0;
  for (size_t i = lines_before; i < log.size(); ++i) {
    if (log[i].size() > 20 && log[i].substr(18, 2) == "4a") break;
    searches_before_first_load += log[i] == "f0 42 50 00 55 f7";
  }
  EXPECT_EQ(searches_before_first_load, 1u) << "the second began before the first was done";
}

// A command waiting for the synthesizer ends on a signal as anywhere; a holder
// killed outright leaves the synthesizer free: the next command neither
// waits nor says anything of it.
inline void expect_wait_ends_and_killed_holder_holds_nothing(MidiRig& rig) {
  TempDir dir;
  const int sim = rig.start_sim({"--silent", "load"});
  ChildProcess holder({cli_path(), "load", "-u", write_unit(dir, kVestrelUnit)}, rig.env(),
                      dir.file("holder.out"), dir.file("holder.err"));
  const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (loads_in(rig, sim) == 0 && std::chrono::steady_clock::now() < give_up) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  ASSERT_EQ(loads_in(rig, sim), 1u) << rig.diagnostics();
  {
    // SIGTERM once it says it waits, however long the emulated machine takes
    // to get there.
    ChildProcess waiting({cli_path(), "probe"}, rig.env(), dir.file("waiting.out"),
                         dir.file("waiting.err"));
    while (read_file(dir.file("waiting.err")).empty() && std::chrono::steady_clock::now() < give_up) {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_TRUE(waiting.stop(10000)) << "it did not end on SIGTERM";
    EXPECT_EQ(waiting.status(), 128 + SIGTERM);
    const std::string err = read_file(dir.file("waiting.err"));
    EXPECT_EQ(err.rfind("Waiting for vestrel: quave-cli load (process ", 0), 0u) << err;
    EXPECT_EQ(err.find('\n'), err.size() - 1) << "said more than once: " << err;
  }
  // A waiter makes no file; a killed holder leaves its own, which the next
  // command takes back.
  EXPECT_EQ(lock_files().size(), 1u);
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
  EXPECT_EQ(lock_files(), std::vector<std::string>{});
}

}  // namespace quave::test
