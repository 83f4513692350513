// The Windows program under Wine, whose MIDI driver carries the Windows
// multimedia calls over ALSA's sequencer. That driver hands each SysEx
// message to the sequencer whole, and what the sequencer cannot take is lost
// without a word to the sender: a kernel port's 4 KiB buffer, the input pool
// of a receiving application (200 cells of 28 bytes). A load must then fail
// on the device's silence, never pass.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tests/alsa/alsa_ports.hpp"
#include "tests/e2e/device_texts.hpp"
#include "tests/e2e/unit_files.hpp"

namespace quave::test {
namespace {

// The load request: 9 bytes of head, the 8-byte size and checksum and the
// image packed 7 bits to the byte, the end byte.
size_t load_message_size(size_t image) {
  const size_t data = 8 + image;
  return 9 + data + (data + 6) / 7 + 1;
}

std::string size_hex(size_t image) {
  char text[16];
  std::snprintf(text, sizeof text, "%zx", image);
  return text;
}

TEST(WineAlsa, ProbeAndClearOnTheApplicationPort) {
  MidiRig rig(MidiRig::Backend::alsa);
  const int sim = rig.start_sim({"--slots", "osc:2", "--preload", "osc:1:saw"});
  const std::string modules =
      "Modulation FX: [ slot_count: 8, max_payload_size: 8192, max_load_size: 16384 ]\n"
      "Delay FX: [ slot_count: 8, max_payload_size: 12288, max_load_size: 24576 ]\n"
      "Reverb FX: [ slot_count: 8, max_payload_size: 12288, max_load_size: 24576 ]\n"
      "Oscillator: [ slot_count: 2, max_payload_size: 12288, max_load_size: 24576 ]\n";
  std::string status = "> Status:\n\n";
  for (const char* module : {"Modulation FX", "Delay FX", "Reverb FX"}) {
    for (int slot = 0; slot < 8; ++slot) {
      status += std::string(module) + " " + std::to_string(slot) + ": free.\n";
    }
    status += "\n";
  }
  status += "Oscillator 0: free.\n"
            "Oscillator 1: \"saw\" v1.00-0 api:1.01-0 did:00000000 uid:00000002\n\n";
  // The Windows names of the ports hold only the simulator's port names.
  expect_run(run_cli({"probe", "-v"}), 0,
             "input: vestrel KBD/KNOB, port: 0\noutput: vestrel SOUND, port: 0\n\n" +
                 kVestrelHead + "> Available modules:\n\n" +
                 "Global: [ slot_count: 0, max_payload_size: 0, max_load_size: 0 ]\n" + modules +
                 "\n" + status + kVestrelHead + "> Available modules:\n\n" + modules,
             "");
  expect_run(run_cli({"clear", "-m", "osc", "-s", "1"}), 0,
             "> Handshaking...\n> Clearing slot #1 of \"Oscillator\" module.\n", "");
  EXPECT_EQ(requests_with_function(rig, sim, "1b").size(), 1u);
  expect_run(run_cli({"probe", "-m", "osc"}), 0,
             kVestrelHead + "> Oscillator status:\n[0]: free.\n[1]: free.\n", "");
}

// The largest image whose load request each kind of port carries arrives
// whole; one byte more and the device hears nothing, so the program waits
// out its time and fails.
TEST(WineAlsa, LoadsUpToTheLargestMessageAndFailsBeyond) {
  struct Transport {
    const char* name;
    std::vector<std::string> sim;
    size_t largest_message;
  };
  const Transport transports[] = {
      {"application port", {}, 5572},
      {"kernel port", {"--rawmidi", "/dev/snd/midiC0D0"}, 4096},
  };
  TempDir dir;
  for (const Transport& t : transports) {
    MidiRig rig(MidiRig::Backend::alsa);
    std::vector<std::string> sim_options = t.sim;
    sim_options.insert(sim_options.end(), {"--max-payload", "osc:16384"});
    const int sim = rig.start_sim(sim_options);
    std::vector<std::string> ports;
    if (!t.sim.empty()) {
      // Windows numbers the ports its own way.
      const std::string listing = run_cli({"probe", "-l"}).out;
      ports = {"-i", find_port_index_in(listing, "in ", "VirMIDI 0-0"), "-o",
               find_port_index_in(listing, "out", "VirMIDI 0-0")};
      ASSERT_NE(ports[1], "") << listing;
      ASSERT_NE(ports[3], "") << listing;
    }
    size_t image = 1160;
    while (load_message_size(image + 1) <= t.largest_message) ++image;
    ASSERT_EQ(load_message_size(image), t.largest_message);
    for (const size_t size : {image, image + 1}) {
      const bool fits = size == image;
      SCOPED_TRACE(std::string(t.name) + ", image of " + std::to_string(size) + " bytes");
      UnitSpec unit;
      unit.payload_size = size - 1156;
      std::vector<std::string> args{"load", "-u", write_unit(dir, unit), "-s", "0"};
      args.insert(args.end(), ports.begin(), ports.end());
      const size_t before = requests_with_function(rig, sim, "4a").size();
      const ProcessResult r = run_cli(args);
      const auto loads = requests_with_function(rig, sim, "4a");
      const std::string head = parsing_lines() + "> Handshaking...\n" + kOscTarget;
      if (fits) {
        ASSERT_EQ(loads.size(), before + 1) << r.err << rig.diagnostics();
        EXPECT_EQ(parse_hex_line(loads.back()).size(), t.largest_message);
        expect_run(r, 0, head + size_line_of(loads.back()), "");
      } else {
        EXPECT_EQ(loads.size(), before);
        EXPECT_EQ(r.exit_code, 1);
        EXPECT_EQ(r.out.substr(0, head.size()), head);
        EXPECT_EQ(r.out.substr(head.size(), 6 + size_hex(size).size() + 8),
                  "size: " + size_hex(size) + " crc32: ");
        EXPECT_EQ(r.err, "Error: Unit load request timed out.\nError: Failed to load unit.\n");
      }
    }
  }
}

}  // namespace
}  // namespace quave::test
