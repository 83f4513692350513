// Unit packages written on the fly for the load tests, and what the request
// log says about the load that was sent.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "device/protocol/messages.hpp"
#include "tests/support/midi_rig.hpp"
#include "tests/support/process.hpp"
#include "tests/support/zip_writer.hpp"
#include "base/bytes.hpp"

namespace quave::test {

struct UnitSpec {
  std::string file = "saw.vstlunit";
  std::string platform = "vestrel";
  std::string module = "osc";
  std::string magic = "UOSC";
  std::string name = "Saw";
  size_t payload_size = 64;
  uint32_t dev_id = 0;
  uint32_t prg_id = 1;
  std::string version = "1.0-0";
  size_t image_size() const { return payload_size + 1156; }
};

// Writes the package into `dir` and returns its path.
inline std::string write_unit(const TempDir& dir, const UnitSpec& u) {
  const std::string manifest =
      "{\"header\": {\"platform\": \"" + u.platform + "\", \"module\": \"" + u.module +
      "\", \"api\": \"1.1-0\", \"dev_id\": " + std::to_string(u.dev_id) +
      ", \"prg_id\": " + std::to_string(u.prg_id) + ", \"version\": \"" + u.version +
      "\", \"name\": \"" + u.name + "\", \"num_param\": 0}}";
  std::string payload = u.magic;
  for (size_t i = payload.size(); i < u.payload_size; ++i) payload += static_cast<char>('a' + i % 26);
  const std::string path = dir.file(u.file);
  write_zip(path, {{"unit/manifest.json", manifest}, {"unit/payload.bin", payload}});
  return path;
}

inline std::string parsing_lines(const std::string& platform_display = "vestrel") {
  return "> Parsing " + platform_display +
         " unit archive\n> Parsing manifest\n> Parsing unit binary payload\n";
}

// The requests of kind `function` (byte 6) in the simulator's log.
inline std::vector<std::string> requests_with_function(const MidiRig& rig, int sim,
                                                       const std::string& function) {
  std::vector<std::string> found;
  for (const std::string& line : rig.request_log_lines(sim)) {
    if (line.size() > 20 && line.compare(0, 3, "f0 ") == 0 && line.substr(18, 2) == function) {
      found.push_back(line);
    }
  }
  return found;
}

// "size: ... crc32: ..." as it must read for the load request in the log:
// the length and checksum it carries.
inline std::string size_line_of(const std::string& load_request) {
  const std::vector<unsigned char> bytes = parse_hex_line(load_request);
  const auto data = unpack_7bit(Message(bytes.begin(), bytes.end()), 9);
  if (!data || data->size() < 8) return "(no load data)";
  char line[64];
  std::snprintf(line, sizeof line, "size: %x crc32: %x\n", get_le32(&(*data)[0]),
                get_le32(&(*data)[4]));
  return line;
}

}  // namespace quave::test
