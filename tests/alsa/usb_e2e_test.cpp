// The program and a USB-MIDI device behind the kernel's own USB audio driver,
// run inside scripts/alsa-vm: the simulator is a user-space USB device on the
// emulated device controller, its ports are a card's sequencer ports, and it
// reads its endpoint no faster than a set rate, so a fast sender is held back
// and the host's 4 KiB buffer fills.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <cstdio>
#include <functional>
#include <iostream>
#include <regex>
#include <thread>

#include "tests/alsa/alsa_ports.hpp"
#include "tests/e2e/device_texts.hpp"
#include "tests/e2e/several_synths.hpp"
#include "tests/e2e/unit_files.hpp"
#include "tests/support/child_process.hpp"
#include "tests/support/limited_process.hpp"
#include "tests/support/terminal_run.hpp"

namespace quave::test {
namespace {

const char kController[] = "/dev/gadget/dummy_udc";
const std::string kTwoFreeSlots = "> Oscillator status:\n[0]: free.\n[1]: free.\n";

bool wait_for(const std::function<bool()>& done, int timeout_ms) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  while (!done()) {
    if (std::chrono::steady_clock::now() >= until) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  return true;
}

// The emulated controller takes one device at a time: `previous` is
// unplugged (and its card gone) before the next one is plugged in; returns
// once the host lists the new device's ports.
int plug_usb_device(MidiRig& rig, int previous, std::vector<std::string> options) {
  if (previous >= 0) rig.stop_sim(previous);
  if (!wait_for([&] { return find_port_index(rig, "out", "vestrel SOUND").empty(); }, 10000)) {
    throw std::runtime_error("the last USB device's ports stayed");
  }
  options.insert(options.begin(), {"--usb-gadget", kController});
  const int sim = rig.start_sim(options);
  if (!wait_for([&] { return !find_port_index(rig, "in ", "vestrel KBD/KNOB").empty(); }, 10000)) {
    throw std::runtime_error("the USB device's ports did not appear" + rig.diagnostics());
  }
  return sim;
}

std::string kernel_log() { return run_limited({"/bin/dmesg"}, 5000, {}).run.out; }

UnitSpec largest_unit() {
  UnitSpec unit;
  unit.payload_size = 16384 - 1156;
  return unit;
}

const std::string kGone = "Error: The quave device is gone (unplugged or switched off).\n";

// Every device rate from 5-pin DIN behind a USB interface to as fast as the
// emulated link goes, both image sizes a user meets, ports found by name and
// given by index: the device acknowledges only an image whose length and
// CRC-32 hold, so each pass proves that nothing was lost.
TEST(UsbE2E, LoadsArriveWholeAtEveryDeviceRate) {
  MidiRig rig(MidiRig::Backend::alsa);
  TempDir dir;
  const std::string overruns_before = kernel_log();
  int sim = -1;
  for (const char* drain : {"0", "16384", "3125"}) {
    sim = plug_usb_device(rig, sim, {"--drain", drain, "--max-payload", "osc:16384", "--slots", "osc:2"});
    const std::vector<std::string> by_index{"-i", port_index(rig, "in ", "vestrel KBD/KNOB"), "-o",
                                            port_index(rig, "out", "vestrel SOUND")};
    for (const size_t image : {5240u, 16384u}) {
      for (const bool named : {true, false}) {
        SCOPED_TRACE(std::string("device reading ") + drain + " B/s, image of " + std::to_string(image) +
                     " bytes, ports " + (named ? "by name" : "by index"));
        UnitSpec unit;
        unit.payload_size = image - 1156;
        std::vector<std::string> args{"load", "-u", write_unit(dir, unit), "-s", "1"};
        if (!named) args.insert(args.end(), by_index.begin(), by_index.end());
        const size_t before = requests_with_function(rig, sim, "4a").size();
        const ProcessResult r = rig.run_cli(args);
        const auto loads = requests_with_function(rig, sim, "4a");
        ASSERT_EQ(loads.size(), before + 1) << r.err << rig.diagnostics();
        expect_run(r, 0, parsing_lines() + "> Handshaking...\n" + kOscTarget + size_line_of(loads.back()),
                   "");
      }
    }
  }
  // The slot loaded last reads back; a clear empties it again.
  const ProcessResult probe = rig.run_cli({"probe", "-m", "osc"});
  EXPECT_EQ(probe.exit_code, 0);
  EXPECT_NE(probe.out.find("[1]: \""), std::string::npos) << probe.out;
  expect_run(rig.run_cli({"clear", "-m", "osc", "-s", "1"}), 0,
             "> Handshaking...\n> Clearing slot #1 of \"Oscillator\" module.\n", "");
  expect_run(rig.run_cli({"probe", "-m", "osc"}), 0, kVestrelHead + kTwoFreeSlots, "");
  // The host never had to throw bytes away.
  const std::string log = kernel_log();
  EXPECT_EQ(log.find("output buffer overrun", overruns_before.size()), std::string::npos) << log;
}

// Two loads at once to a card's port, where a long load goes out in parts:
// the second waits for the first, and both arrive whole.
TEST(UsbE2E, TwoLoadsAtOnceGoOneAfterTheOther) {
  MidiRig rig(MidiRig::Backend::alsa);
  TempDir dir;
  const int sim = plug_usb_device(rig, -1, {"--max-payload", "osc:16384", "--slots", "osc:2"});
  expect_two_loads_in_turn(rig, sim, write_unit(dir, largest_unit()));
}

TEST(UsbE2E, DeviceErrorsAndAnInterruptedLoadEndCleanly) {
  MidiRig rig(MidiRig::Backend::alsa);
  TempDir dir;
  UnitSpec unit;
  unit.payload_size = 16384 - 1156;
  const std::string unit_path = write_unit(dir, unit);

  int sim = plug_usb_device(rig, -1, {"--max-payload", "osc:16384", "--slots", "osc:2", "--status", "load:0x28"});
  const ProcessResult refused = rig.run_cli({"load", "-u", unit_path, "-s", "0"});
  ASSERT_EQ(requests_with_function(rig, sim, "4a").size(), 1u) << refused.err;
  expect_run(refused, 1,
             parsing_lines() + "> Handshaking...\n" + kOscTarget +
                 size_line_of(requests_with_function(rig, sim, "4a").back()),
             "Error: CRC verification failed.\nError: Failed to load unit.\n");

  // A load at 5-pin DIN pace takes about seven seconds: Ctrl-C after 1.5.
  sim = plug_usb_device(rig, sim, {"--drain", "3125", "--max-payload", "osc:16384", "--slots", "osc:2"});
  std::vector<std::string> argv{cli_path(), "load", "-u", unit_path, "-s", "0"};
  const LimitedResult cut = run_limited(argv, 60000, rig.env(), {SIGINT, 1500});
  EXPECT_EQ(cut.signal, SIGINT);
  // Closing the port lets the host's buffer drain to the device first: up
  // to 4 KiB at 3,125 B/s.
  EXPECT_LT(cut.seconds, 4.5) << "ran on after the signal";
  EXPECT_EQ(cut.run.err, "");
  EXPECT_TRUE(requests_with_function(rig, sim, "4a").empty());
  expect_run(rig.run_cli({"probe", "-m", "osc"}), 0, kVestrelHead + kTwoFreeSlots, "");
}

// Bytes the host has taken to send to the USB card so far (a wait for a
// moment of the run, rather than a time a busy host may not keep).
long card_bytes_sent() {
  const std::string text = read_file("/proc/asound/card30/midi0");
  static const std::regex tx("Tx bytes *: ([0-9]+)");
  long sum = 0;
  for (std::sregex_iterator i(text.begin(), text.end(), tx), end; i != end; ++i) sum += std::stol((*i)[1]);
  return sum;
}

// Runs quave-cli with `args` as a background process, unplugs the device
// once `moment` holds, and times the program's "gone" line and its end from
// the moment the device's process had ended.
struct Unplugged {
  int exit_code = -1;  // -1: still running at the limit, and killed
  std::string out, err;
  double to_line = -1;  // -1: no such line
  double to_end = -1;
  std::string hung;  // where its threads waited, when it had to be killed
};

Unplugged unplug_during(MidiRig& rig, int sim, const TempDir& dir, const std::vector<std::string>& args,
                        const std::function<bool()>& moment) {
  std::vector<std::string> argv{cli_path()};
  argv.insert(argv.end(), args.begin(), args.end());
  const std::string out = dir.file("unplugged.out"), err = dir.file("unplugged.err");
  std::remove(out.c_str());
  std::remove(err.c_str());
  ChildProcess cli(argv, rig.env(), out, err);
  EXPECT_TRUE(wait_for(moment, 30000)) << "unplugged at the time limit instead";
  rig.stop_sim(sim);
  const auto unplugged = std::chrono::steady_clock::now();
  const auto since = [&] {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - unplugged).count();
  };
  Unplugged u;
  // Polled finely, as the line's time is what is judged.
  const auto until = unplugged + std::chrono::seconds(60);
  while (cli.running() && std::chrono::steady_clock::now() < until) {
    if (u.to_line < 0 && read_file(err).find(kGone) != std::string::npos) u.to_line = since();
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  if (cli.running()) {
    u.hung = cli.threads();
    cli.kill_now();
  } else {
    u.to_end = since();
    u.exit_code = cli.status();
  }
  u.out = read_file(out);
  u.err = read_file(err);
  if (u.to_line < 0 && u.err.find(kGone) != std::string::npos) u.to_line = u.to_end;
  return u;
}

// A cable pulled at each moment of a command, each time after earlier loads
// to the same device: the program says at once that the device is gone, and
// ends once the kernel lets go of the port (which waits up to 10 s for data
// still queued for the gone device); the device plugged in again works.
TEST(UsbE2E, AnUnplugAtAnyMomentEndsTheCommand) {
  MidiRig rig(MidiRig::Backend::alsa);
  TempDir dir;
  UnitSpec small;
  small.file = "small.vstlunit";
  const std::string small_unit = write_unit(dir, small);
  const std::string large_unit = write_unit(dir, largest_unit());
  const std::vector<std::string> slow{"--drain", "3125", "--max-payload", "osc:16384", "--slots", "osc:2"};
  const auto with = [&slow](std::vector<std::string> more) {
    more.insert(more.begin(), slow.begin(), slow.end());
    return more;
  };
  const std::string load_out = parsing_lines() + "> Handshaking...\n" + kOscTarget;
  // The large image goes out as about 18.8 KB of MIDI.
  const auto sent_more_than = [](long bytes) { return [bytes](long sent) { return sent > bytes; }; };
  struct Row {
    const char* moment;
    std::vector<std::string> device;
    std::vector<std::string> args;
    std::function<bool(long sent)> due;  // given the bytes sent to the device in this command
    bool after_the_image;                // whether the device had the whole load request
    std::string out_start;
    std::string err;
  };
  const std::vector<std::string> load{"load", "-u", large_unit, "-s", "1"};
  const Row rows[] = {
      {"the handshake", with({"--delay", "module-info:800"}), load, sent_more_than(0), false,
       parsing_lines() + "> Handshaking...\n", kGone + "Error: Quave handshake failed.\n"},
      {"early in a load", slow, load, sent_more_than(1500), false, load_out,
       kGone + "Error: Failed to load unit.\n"},
      {"the middle of a load", slow, load, sent_more_than(9000), false, load_out,
       kGone + "Error: Failed to load unit.\n"},
      {"late in a load", slow, load, sent_more_than(17000), false, load_out,
       kGone + "Error: Failed to load unit.\n"},
      {"the wait for the load's answer", with({"--delay", "load:3000"}), load, nullptr, true, load_out,
       kGone + "Error: Failed to load unit.\n"},
  };
  int sim = -1;
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string("unplugged during ") + row.moment);
    sim = plug_usb_device(rig, sim, row.device);
    const ProcessResult earlier = rig.run_cli({"load", "-u", small_unit, "-s", "0"});
    // What the host sent the card, and the kernel's view, should a device
    // plugged in again not be reached.
    ASSERT_EQ(earlier.exit_code, 0) << earlier.err << read_file("/proc/asound/card30/midi0") << kernel_log()
                                    << rig.diagnostics();
    const size_t loads_before = requests_with_function(rig, sim, "4a").size();
    const long sent_before = card_bytes_sent();
    const Unplugged u = unplug_during(rig, sim, dir, row.args, [&] {
      if (row.after_the_image) return requests_with_function(rig, sim, "4a").size() > loads_before;
      return row.due(card_bytes_sent() - sent_before);
    });
    std::cout << "unplugged during " << row.moment << ": the line after " << u.to_line
              << " s, the end after " << u.to_end << " s\n";
    EXPECT_EQ(u.exit_code, 1) << (u.hung.empty() ? "" : "still running a minute after the unplug:\n" + u.hung);
    EXPECT_EQ(u.out.substr(0, row.out_start.size()), row.out_start) << u.out;
    EXPECT_EQ(u.err, row.err);
    EXPECT_GE(u.to_line, 0);
    EXPECT_LT(u.to_line, 1.0);
    EXPECT_LT(u.to_end, 12.0);
    EXPECT_EQ(requests_with_function(rig, sim, "4a").size(), loads_before + (row.after_the_image ? 1 : 0));
  }
  // Plugged in again after the last one, it answers.
  sim = plug_usb_device(rig, sim, slow);
  expect_run(rig.run_cli({"probe", "-m", "osc"}), 0, kVestrelHead + kTwoFreeSlots, "");
  rig.stop_sim(sim);
}

// A device that stays attached but stops reading part-way through a load.
TEST(UsbE2E, ADeviceThatStopsReadingIsSaidToHaveStopped) {
  MidiRig rig(MidiRig::Backend::alsa);
  TempDir dir;
  const int sim = plug_usb_device(
      rig, -1, {"--stop-reading", "6000", "--max-payload", "osc:16384", "--slots", "osc:2"});
  const LimitedResult r =
      run_limited({cli_path(), "load", "-u", write_unit(dir, largest_unit()), "-s", "0"}, 60000, rig.env());
  std::cout << "stalled load: the program ended after " << r.seconds << " s\n";
  EXPECT_EQ(r.run.exit_code, 1);
  EXPECT_EQ(r.run.err,
            "Error: The quave device stopped reading (nothing taken for 3 seconds).\n"
            "Error: Failed to load unit.\n");
  EXPECT_TRUE(requests_with_function(rig, sim, "4a").empty());
  rig.stop_sim(sim);
}

// A load at 5-pin DIN pace, on a terminal: its progress shows on one line,
// gone once the load is, so that the screen reads as it would without it.
// Then with /proc/asound hidden, as containers hide it: the kernel's buffer
// cannot be read, so the card's port is paced for 5-pin DIN, which the
// slowest device takes, and -v says so.
TEST(UsbE2E, ASlowLoadOnATerminalAndWhereTheRoomIsHidden) {
  MidiRig rig(MidiRig::Backend::alsa);
  TempDir dir;
  const std::string unit = write_unit(dir, largest_unit());
  const int sim =
      plug_usb_device(rig, -1, {"--drain", "3125", "--max-payload", "osc:16384", "--slots", "osc:2"});
  const TerminalRun shown = run_on_terminal({cli_path(), "load", "-u", unit, "-s", "0"}, 60000, rig.env());
  EXPECT_EQ(shown.exit_code, 0) << shown.drawn;
  const auto loads = requests_with_function(rig, sim, "4a");
  ASSERT_EQ(loads.size(), 1u) << shown.drawn;
  EXPECT_EQ(screen_of(shown.drawn),
            parsing_lines() + "> Handshaking...\n" + kOscTarget + size_line_of(loads.back()));
  EXPECT_TRUE(std::regex_search(shown.drawn,
                                std::regex("\rSending [0-9]+ of [0-9]+ bytes \\([0-9]+%\\), [0-9]+ B/s")))
      << shown.drawn;

  const LimitedResult hidden = run_limited(
      {"/usr/bin/unshare", "--mount", "--propagation", "private", "/bin/sh", "-c",
       "mount -t tmpfs none /proc/asound && exec \"$0\" \"$@\"", cli_path(), "load", "-v", "-u",
       unit, "-s", "1"},
      60000, rig.env());
  EXPECT_EQ(hidden.run.exit_code, 0) << hidden.run.err;
  EXPECT_NE(hidden.run.out.find("> The room in the kernel's MIDI buffer cannot be read here: sending at "
                                "5-pin DIN speed, 3125 bytes a second.\n"),
            std::string::npos)
      << hidden.run.out;
  EXPECT_EQ(requests_with_function(rig, sim, "4a").size(), 2u);
  rig.stop_sim(sim);
}

}  // namespace
}  // namespace quave::test
