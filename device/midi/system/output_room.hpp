// How much room the kernel's output buffer has behind an ALSA sequencer port
// of a card's MIDI hardware (USB or otherwise, through the kernel's generic
// sequencer MIDI client). Such a port drops what does not fit in its 4 KiB
// buffer, and the link behind it drains at whatever pace the device reads,
// so a long message is sent only as fast as the buffer frees. The kernel
// tells which card and raw MIDI output a port leads to (the sequencer's
// client and port information) and shows the free room of an open output in
// /proc/asound/cardN/midiD.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>

namespace quave {

// Free bytes in the buffer in front of the link, when the system shows it.
using RoomFeedback = std::function<std::optional<size_t>()>;

// Where one output substream of a card's raw MIDI device is.
struct RawMidiOutput {
  int card = 0;
  int device = 0;
  int subdevice = 0;
};

// The sequencer address at the end of the MIDI library's ALSA port names
// ("CLIENT:PORT C:P"); nothing for a name of another form.
std::optional<std::pair<int, int>> alsa_address_of(const std::string& port_name);

// The raw MIDI output behind sequencer port `port`, from what the kernel
// says of it: `card` is its client's card (-1 for an application) and
// `port_type` the port's type bits. Nothing unless the port is a card's
// MIDI hardware port: not a virtual raw MIDI port, a UMP port, an
// application's or a timer's.
std::optional<RawMidiOutput> rawmidi_output_from(int card, uint32_t port_type, int port);

// The free room of `subdevice`'s output in the text of its device's /proc
// file; nothing when that output is not open or the text has no such line.
std::optional<size_t> output_room_in(const std::string& proc_text, int subdevice);

// The same, read now from the /proc file at `proc_path` (Linux); nothing
// when the file cannot be read, as a gone card's cannot.
std::optional<size_t> output_room_at(const std::string& proc_path, int subdevice);

// What the kernel says of the port a long message goes to.
struct OutputLink {
  bool card_port = false;  // a card's MIDI hardware port
  RoomFeedback room;       // its buffer's room, read on each call; empty where unreadable
};

// Asks the kernel about the ALSA port at `client`:`port`.
OutputLink output_link_of(int client, int port);

// Whether the sequencer still has the port at `client`:`port`; nothing
// where it cannot be asked.
std::optional<bool> sequencer_has_port(int client, int port);

}  // namespace quave
