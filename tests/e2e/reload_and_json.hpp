// A developer's loop and a script's view, on any backend: probe --json read
// by a real JSON parser and compared field by field with what three
// simulators were given, and a unit reloaded with -r into the slot that
// holds it.
#pragma once

#include <RtMidi.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <array>
#include <cstdio>
#include <string>
#include <vector>

#include "tests/e2e/device_texts.hpp"
#include "tests/e2e/json_leaves.hpp"
#include "tests/e2e/unit_files.hpp"

namespace quave::test {

struct ModuleSetup {
  unsigned slots = 0;
  unsigned max_payload = 0;
  unsigned max_load = 0;
  bool no_info = false;  // answers its info request without data
};

struct UnitInSlot {
  unsigned module;
  unsigned slot;
  std::string name;       // the bytes
  std::string name_json;  // as JSON in ASCII
  uint32_t dev_id;
  uint32_t unit_id;
  std::string version;       // as the simulator takes it
  std::string version_text;  // as probe shows it
};

// One simulator, described once: its options are made from this, and so is
// what probe --json must say of it.
struct SimSetup {
  std::string platform;  // --platform
  std::string device;    // the name probe shows, and -n takes
  std::string system_version, system_text;
  std::string api_version, api_text;
  std::array<ModuleSetup, 5> modules;
  std::vector<UnitInSlot> units;

  std::vector<std::string> options() const {
    static const char* const names[] = {"global", "modfx", "delfx", "revfx", "osc"};
    std::vector<std::string> o{"--platform", platform, "--system-version", system_version,
                               "--api-version", api_version};
    for (unsigned m = 0; m < 5; ++m) {
      const std::string name = names[m];
      o.insert(o.end(), {"--slots", name + ":" + std::to_string(modules[m].slots), "--max-payload",
                         name + ":" + std::to_string(modules[m].max_payload), "--max-load",
                         name + ":" + std::to_string(modules[m].max_load)});
      if (modules[m].no_info) o.insert(o.end(), {"--no-info", name});
    }
    for (const UnitInSlot& u : units) {
      o.insert(o.end(), {"--preload", std::string(names[u.module]) + ":" + std::to_string(u.slot) +
                                          ":" + u.name + ":" + std::to_string(u.dev_id) + ":" +
                                          std::to_string(u.unit_id) + ":" + u.version});
    }
    return o;
  }

  // The leaves of the device and its modules.
  JsonLeaves leaves() const {
    static const char* const names[] = {"global", "modfx", "delfx", "revfx", "osc"};
    static const char* const shown[] = {"Global", "Modulation FX", "Delay FX", "Reverb FX",
                                        "Oscillator"};
    JsonLeaves l{{"device", json_text(device)},
                 {"system_version", json_text(system_text)},
                 {"api_version", json_text(api_text)}};
    for (unsigned m = 0; m < 5; ++m) {
      const ModuleSetup& module = modules[m];
      const std::string at = "modules." + std::to_string(m) + ".";
      l[at + "module"] = json_text(names[m]);
      l[at + "name"] = json_text(shown[m]);
      l[at + "slot_count"] = std::to_string(module.no_info ? 0 : module.slots);
      l[at + "max_payload_size"] = std::to_string(module.no_info ? 0 : module.max_payload);
      l[at + "max_load_size"] = std::to_string(module.no_info ? 0 : module.max_load);
      const unsigned recorded = module.no_info ? 0 : std::min(module.slots, 16u);
      if (recorded == 0) l[at + "slots"] = "[]";
      for (unsigned s = 0; s < recorded; ++s) {
        const std::string slot = at + "slots." + std::to_string(s) + ".";
        l[slot + "slot"] = std::to_string(s);
        l[slot + "free"] = "true";
      }
    }
    for (const UnitInSlot& u : units) {
      const std::string slot =
          "modules." + std::to_string(u.module) + ".slots." + std::to_string(u.slot) + ".";
      char ids[2][9];
      std::snprintf(ids[0], sizeof ids[0], "%08X", u.dev_id);
      std::snprintf(ids[1], sizeof ids[1], "%08X", u.unit_id);
      l[slot + "free"] = "false";
      l[slot + "name"] = u.name_json;
      l[slot + "version"] = json_text(u.version_text);
      // A preloaded unit has the device's API version, and so has every unit
      // these tests load.
      l[slot + "api"] = json_text(api_text);
      l[slot + "dev_id"] = json_text(ids[0]);
      l[slot + "unit_id"] = json_text(ids[1]);
    }
    return l;
  }
};

// Runs probe --json -n NAME and adds what it must print of `setup`: its
// facts, its ports, its name and every synthesizer. With -v and -d, what
// they tell goes to standard error.
inline void probe_json_of(const MidiRig& rig, const SimSetup& setup,
                          const std::vector<NamedPorts>& synths, JsonChecks& checks,
                          bool narrated = false) {
  SCOPED_TRACE("probe --json -n " + setup.device);
  std::vector<std::string> args{"probe", "--json", "-n", setup.device};
  if (narrated) args.insert(args.end(), {"-v", "-d"});
  const ProcessResult r = rig.run_cli(args);
  ASSERT_EQ(r.exit_code, 0) << r.err;
  if (narrated) {
    EXPECT_NE(r.err.find("output: "), std::string::npos) << r.err;
    EXPECT_NE(r.err.find(">>> { f0, 42, 50, 0, 55, f7 }\n"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("\n> Device: " + setup.device + "\n"), std::string::npos) << r.err;
  } else {
    EXPECT_EQ(r.err, "");
  }
  JsonLeaves expected = setup.leaves();
  for (const NamedPorts& synth : synths) {
    if (synth.name != setup.device) continue;
    expected["ports.in"] = std::to_string(synth.in);
    expected["ports.out"] = std::to_string(synth.out);
  }
  expected["synthesizer"] = json_text(setup.device);
  const JsonLeaves listed = synth_leaves(synths);
  expected.insert(listed.begin(), listed.end());
  checks.add("probe --json -n " + setup.device, r.out, std::move(expected));
}

// Three models, free and occupied slots, a module without info, one with
// more slots than records, a unit name that is not all text; then a vestrel
// unit reloaded with -r, and what the others hold left alone.
inline void expect_reload_and_json(MidiRig& rig, RtMidi::Api api) {
  SimSetup vestrel{"vestrel", "vestrel", "1.10", "1.10", "1.1-0", "1.01-0", {}, {}};
  vestrel.modules = {ModuleSetup{0, 0, 0}, ModuleSetup{2, 8192, 16384}, ModuleSetup{0, 100, 200},
                     ModuleSetup{20, 12288, 24576}, ModuleSetup{4, 12288, 24576}};
  // A full oscillator module: the ids of the unit loaded below (0, 1) in
  // slots 1 and 3, its unit id under another developer in slot 0.
  vestrel.units = {{4, 0, "Twin", "\"Twin\"", 5, 1, "1.0-0", "1.00-0"},
                   {4, 1, "Old", "\"Old\"", 0, 1, "0.9-0", "0.09-0"},
                   {4, 2, "Other", "\"Other\"", 0, 9, "2.3-4", "2.03-4"},
                   {4, 3, "Older", "\"Older\"", 0, 1, "0.5-0", "0.05-0"},
                   {1, 1, "Chorus", "\"Chorus\"", 0x12345678, 0xFFFFFFFF, "3.10-2", "3.10-2"},
                   {3, 15, "Last", "\"Last\"", 0, 16, "1.0-0", "1.00-0"}};
  SimSetup halvane{"halvane-rx", "halvane rx", "0.98", "0.98b", "1.2-3", "1.02-3", {}, {}};
  halvane.modules = {ModuleSetup{2, 4096, 4096}, ModuleSetup{8, 8192, 16384},
                     ModuleSetup{8, 12288, 24576}, ModuleSetup{8, 12288, 24576, true},
                     ModuleSetup{16, 12288, 24576}};
  halvane.units = {{0, 1, "q\"b\\\x01\xc3\xa9\xff", R"("q\"b\\\u0001\u00e9\ufffd")", 7, 3,
                    "1.0-0", "1.00-0"}};
  SimSetup orvalt{"orvalt-tonal", "orvalt tonal", "2.5", "2.05", "1.1-0", "1.01-0", {}, {}};
  orvalt.modules = {ModuleSetup{0, 0, 0}, ModuleSetup{1, 1000, 2000}, ModuleSetup{3, 12288, 24576},
                    ModuleSetup{0, 0, 0}, ModuleSetup{3, 12288, 24576}};
  orvalt.units = {{2, 0, "Echo", "\"Echo\"", 1, 2, "1.0-0", "1.00-0"},
                  {4, 2, "Pad", "\"Pad\"", 0, 3, "10.20-30", "10.20-30"}};
  // Another program's port, listed among the outputs before the
  // synthesizers': none of them has the same number for both its ports.
  if (api == RtMidi::UNIX_JACK) setenv("JACK_DEFAULT_SERVER", rig.server_name().c_str(), 1);
  RtMidiIn other(api, "other");
  other.openVirtualPort("other");
  const int vestrel_sim = rig.start_sim(vestrel.options());
  rig.start_sim(halvane.options());
  rig.start_sim(orvalt.options());

  // The listing: every port, and the synthesizers their names show.
  JsonChecks checks;
  const ListedPorts ports = listed_ports(rig.run_cli({"probe", "-l"}).out);
  const std::vector<NamedPorts> synths = synths_by_port_names(ports);
  ASSERT_EQ(synths.size(), 3u);
  for (const NamedPorts& synth : synths) ASSERT_NE(synth.in, synth.out);
  const ProcessResult listing = rig.run_cli({"probe", "-l", "--json"});
  ASSERT_EQ(listing.exit_code, 0) << listing.err;
  EXPECT_EQ(listing.err, "");
  checks.add("-l --json", listing.out, listing_leaves(ports));

  probe_json_of(rig, vestrel, synths, checks);
  probe_json_of(rig, halvane, synths, checks);
  probe_json_of(rig, orvalt, synths, checks, true);

  // Reloaded twice: into slot 1, the lowest with its ids, both times.
  TempDir dir;
  const std::string unit = write_unit(dir, UnitSpec{});
  const std::string head = parsing_lines() + "> Handshaking...\n" +
                           "> Target platform: \"vestrel\"\n> Target module: \"Oscillator\"\n";
  for (const char* replaced : {"\"Old\" v0.09-0", "\"Saw\" v1.00-0"}) {
    const ProcessResult r = rig.run_cli({"load", "-r", "-u", unit});
    const auto loads = requests_with_function(rig, vestrel_sim, "4a");
    ASSERT_FALSE(loads.empty()) << r.err;
    expect_run(r, 0,
               head + "> Replacing " + replaced + " in slot #1.\n" + size_line_of(loads.back()),
               "");
  }
  vestrel.units[1] = {4, 1, "Saw", "\"Saw\"", 0, 1, "1.0-0", "1.00-0"};
  probe_json_of(rig, vestrel, synths, checks);

  // -s wins, and says so.
  {
    const ProcessResult r = rig.run_cli({"load", "-r", "-s", "2", "-u", unit});
    expect_run(r, 0,
               head + "Warning: -s/--slot names the slot, so -r/--replace is not used.\n" +
                   size_line_of(requests_with_function(rig, vestrel_sim, "4a").back()),
               "");
    vestrel.units[2] = {4, 2, "Saw", "\"Saw\"", 0, 1, "1.0-0", "1.00-0"};
  }

  // A unit that no slot holds goes where load without -r puts it: nowhere
  // in a full module, the first free slot once there is one.
  UnitSpec another;
  another.file = "another.vstlunit";
  another.prg_id = 5;
  const std::string other_unit = write_unit(dir, another);
  const size_t loads_before = requests_with_function(rig, vestrel_sim, "4a").size();
  expect_run(rig.run_cli({"load", "-r", "-u", other_unit}), 1, head,
             "Error: No target slot specified and all module's slots currently in use. Use the "
             "-s/--slot option to specify which slot to overwrite.\n");
  EXPECT_EQ(requests_with_function(rig, vestrel_sim, "4a").size(), loads_before);
  expect_run(rig.run_cli({"clear", "-n", "vestrel", "-m", "osc", "-s", "0"}), 0,
             "> Handshaking...\n> Clearing slot #0 of \"Oscillator\" module.\n", "");
  {
    const ProcessResult r = rig.run_cli({"load", "-r", "-u", other_unit});
    expect_run(r, 0,
               head + "> No slot specified, using first available.\n" +
                   size_line_of(requests_with_function(rig, vestrel_sim, "4a").back()),
               "");
  }
  vestrel.units[0] = {4, 0, "Saw", "\"Saw\"", 0, 5, "1.0-0", "1.00-0"};
  probe_json_of(rig, vestrel, synths, checks);
  checks.run();
}

}  // namespace quave::test
