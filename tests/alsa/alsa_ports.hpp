// Finding ports in the listing of `probe -l`, for the tests on a real ALSA
// sequencer.
#pragma once

#include <sstream>
#include <stdexcept>
#include <string>

#include "tests/support/midi_rig.hpp"

namespace quave::test {

inline const std::string kOscTarget =
    "> Target platform: \"vestrel\"\n"
    "> Target module: \"Oscillator\"\n";

// The index of the first port of `role` ("in " or "out") whose name holds
// `part` in the listing of `probe -l`, or the empty text.
inline std::string find_port_index_in(const std::string& probe_listing, const std::string& role,
                                      const std::string& part) {
  std::istringstream listing(probe_listing);
  std::string line;
  const std::string head = "    " + role + " ";
  while (std::getline(listing, line)) {
    if (line.compare(0, head.size(), head) == 0 && line.find(part) != std::string::npos) {
      return std::to_string(std::stoi(line.substr(head.size())));
    }
  }
  return "";
}

inline std::string find_port_index(const MidiRig& rig, const std::string& role,
                                   const std::string& part) {
  return find_port_index_in(rig.run_cli({"probe", "-l"}).out, role, part);
}

inline std::string port_index(const MidiRig& rig, const std::string& role, const std::string& part) {
  const std::string index = find_port_index(rig, role, part);
  if (index.empty()) throw std::runtime_error("no " + role + " port named like " + part);
  return index;
}

}  // namespace quave::test
