#include "device/output_room.hpp"

#include <fstream>
#include <iterator>
#include <sstream>

namespace quave {

namespace {

// The kernel numbers a card's sequencer clients from 16, four to a card,
// below the applications' clients from 128; the generic MIDI client is each
// card's first, and numbers its ports 32 to a raw MIDI device.
constexpr int kFirstCardClient = 16;
constexpr int kClientsPerCard = 4;
constexpr int kFirstApplicationClient = 128;
constexpr int kPortsPerDevice = 32;

bool parse_int(const std::string& text, int& value) {
  if (text.empty() || text.size() > 6 || text.find_first_not_of("0123456789") != std::string::npos) {
    return false;
  }
  value = std::stoi(text);
  return true;
}

// A card's short name from /proc/asound/cards, whose lines read
// " N [ID             ]: DRIVER - SHORT NAME" (then a line of the long name).
std::optional<std::string> card_short_name(const std::string& cards_text, int card) {
  std::istringstream lines(cards_text);
  std::string line;
  while (std::getline(lines, line)) {
    const size_t first = line.find_first_not_of(' ');
    const size_t bracket = line.find(" [");
    if (first == std::string::npos || bracket == std::string::npos || bracket < first) continue;
    int number = -1;
    if (!parse_int(line.substr(first, bracket - first), number) || number != card) continue;
    const size_t colon = line.find("]: ", bracket);
    const size_t dash = colon == std::string::npos ? colon : line.find(" - ", colon);
    if (dash == std::string::npos) return std::nullopt;
    return line.substr(dash + 3);
  }
  return std::nullopt;
}

std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return {};
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace

std::optional<RawMidiOutput> rawmidi_output_of(const std::string& port_name,
                                               const std::string& cards_text) {
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
  if (client < kFirstCardClient || client >= kFirstApplicationClient ||
      (client - kFirstCardClient) % kClientsPerCard != 0) {
    return std::nullopt;
  }
  RawMidiOutput out;
  out.card = (client - kFirstCardClient) / kClientsPerCard;
  out.device = port / kPortsPerDevice;
  out.subdevice = port % kPortsPerDevice;
  // The generic MIDI client takes the card's short name; a virtual raw MIDI
  // client, which also sits first on its card, does not, and its port leads
  // into the input side of its device, not to a link.
  const std::optional<std::string> card_name = card_short_name(cards_text, out.card);
  if (!card_name || card_name->empty() || port_name.compare(0, card_name->size() + 1, *card_name + ":") != 0) {
    return std::nullopt;
  }
  return out;
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

RoomFeedback output_room_probe(const std::string& port_name) {
  const std::optional<RawMidiOutput> out = rawmidi_output_of(port_name, read_file("/proc/asound/cards"));
  if (!out) return {};
  const std::string path = "/proc/asound/card" + std::to_string(out->card) + "/midi" +
                           std::to_string(out->device);
  const int subdevice = out->subdevice;
  RoomFeedback probe = [path, subdevice] { return output_room_in(read_file(path), subdevice); };
  // Only an output that is open shows its room; one that does not now never will.
  if (!probe()) return {};
  return probe;
}

}  // namespace quave
