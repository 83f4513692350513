// Expected output of the device commands, for the end-to-end tests.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/process.hpp"

namespace quave::test {

// The simulator's port names as the program lists them.
inline const std::string kSimInput = "quave-devsim-01:vestrel KBD/KNOB";
inline const std::string kSimOutput = "quave-devsim:vestrel SOUND";

inline std::string port_listing(const std::vector<std::string>& inputs,
                                const std::vector<std::string>& outputs) {
  std::string text = "  Available MIDI inputs:\n";
  for (size_t i = 0; i < inputs.size(); ++i) {
    text += "    in  " + std::to_string(i) + ": " + inputs[i] + "\n";
  }
  text += "\n  Available MIDI ouputs:\n";
  for (size_t i = 0; i < outputs.size(); ++i) {
    text += "    out " + std::to_string(i) + ": " + outputs[i] + "\n";
  }
  return text;
}
inline const std::string kSimListing = port_listing({kSimInput}, {kSimOutput});
inline const std::string kNoPorts = port_listing({}, {});

// A device command where no port matches: the search's line, then the
// connection's failure with the empty listing.
inline const std::string kNoMatch = "Error: Could not find matching quave MIDI ports.\n\n";
inline const std::string kNoPortsFailure = "Quave interface connection failed.\n" + kNoPorts + "\n";

inline std::string report_head(const std::string& device, const std::string& system,
                               const std::string& api) {
  return "> Device: " + device + "\n> System version: " + system +
         "\n> Quave API version: " + api + "\n";
}
inline const std::string kVestrelHead = report_head("vestrel", "1.10", "1.01-0");

// The simulator's modules unless told otherwise.
inline const std::string kDefaultModules =
    "> Available modules:\n"
    "\n"
    "Modulation FX: [ slot_count: 8, max_payload_size: 8192, max_load_size: 16384 ]\n"
    "Delay FX: [ slot_count: 8, max_payload_size: 12288, max_load_size: 24576 ]\n"
    "Reverb FX: [ slot_count: 8, max_payload_size: 12288, max_load_size: 24576 ]\n"
    "Oscillator: [ slot_count: 16, max_payload_size: 12288, max_load_size: 24576 ]\n";

inline void expect_run(const ProcessResult& r, int code, const std::string& out,
                       const std::string& err) {
  EXPECT_EQ(r.exit_code, code);
  EXPECT_EQ(r.out, out);
  EXPECT_EQ(r.err, err);
}

}  // namespace quave::test
