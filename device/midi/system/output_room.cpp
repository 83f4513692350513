#include "device/midi/system/output_room.hpp"

#include <sstream>

namespace quave {

namespace {

// The generic sequencer MIDI client numbers its ports 32 to a raw MIDI
// device (256 ports over the 8 devices a card may have).
constexpr int kPortsPerDevice = 32;
// The kernel's port type bits.
constexpr uint32_t kTypeMidiGeneric = 1u << 1;
constexpr uint32_t kTypeUmp = 1u << 7;
constexpr uint32_t kTypeHardware = 1u << 16;
constexpr uint32_t kTypeSoftware = 1u << 17;

bool parse_int(const std::string& text, int& value) {
  if (text.empty() || text.size() > 6 || text.find_first_not_of("0123456789") != std::string::npos) {
    return false;
  }
  value = std::stoi(text);
  return true;
}

}  // namespace

std::optional<std::pair<int, int>> alsa_address_of(const std::string& port_name) {
  const size_t blank = port_name.rfind(' ');
  if (blank == std::string::npos) return std::nullopt;
  const std::string address = port_name.substr(blank + 1);
  const size_t colon = address.find(':');
  int client = 0;
  int port = 0;
  if (colon == std::string::npos || !parse_int(address.substr(0, colon), client) ||
      !parse_int(address.substr(colon + 1), port)) {
    return std::nullopt;
  }
  return std::make_pair(client, port);
}

std::optional<RawMidiOutput> rawmidi_output_from(int card, uint32_t port_type, int port) {
  const uint32_t wanted = kTypeMidiGeneric | kTypeHardware;
  if (card < 0 || port < 0 || (port_type & wanted) != wanted ||
      (port_type & (kTypeSoftware | kTypeUmp)) != 0) {
    return std::nullopt;
  }
  return RawMidiOutput{card, port / kPortsPerDevice, port % kPortsPerDevice};
}

std::optional<size_t> output_room_in(const std::string& proc_text, int subdevice) {
  std::istringstream lines(proc_text);
  std::string line;
  const std::string heading = "Output " + std::to_string(subdevice);
  bool inside = false;
  while (std::getline(lines, line)) {
    if (!line.empty() && line[0] != ' ') {
      inside = line == heading;
      continue;
    }
    if (!inside) continue;
    const size_t key = line.find_first_not_of(' ');
    if (key == std::string::npos || line.compare(key, 5, "Avail") != 0) continue;
    const size_t colon = line.find(':', key);
    if (colon == std::string::npos) return std::nullopt;
    const size_t digits = line.find_first_not_of(' ', colon + 1);
    int room = 0;
    if (digits == std::string::npos || !parse_int(line.substr(digits), room)) return std::nullopt;
    return static_cast<size_t>(room);
  }
  return std::nullopt;
}

}  // namespace quave
