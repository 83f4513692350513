// The program and a USB-MIDI device behind the kernel's own USB audio driver,
// run inside scripts/alsa-vm: the simulator is a user-space USB device on the
// emulated device controller, its ports are a card's sequencer ports, and it
// reads its endpoint no faster than a set rate, so a fast sender is held back
// and the host's 4 KiB buffer fills.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <functional>
#include <thread>

#include "tests/alsa/alsa_ports.hpp"
#include "tests/e2e/device_texts.hpp"
#include "tests/e2e/unit_files.hpp"
#include "tests/support/limited_process.hpp"

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

}  // namespace
}  // namespace quave::test
