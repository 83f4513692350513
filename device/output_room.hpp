// How much room the kernel's output buffer has behind an ALSA sequencer port
// of a hardware MIDI device (USB or otherwise, through the kernel's generic
// sequencer MIDI client). Such a port drops what does not fit in its 4 KiB
// buffer, and the link behind it drains at whatever pace the device reads,
// so a long message is sent only as fast as the buffer frees. The kernel
// shows the free room of an open output in /proc/asound/cardN/midiD.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

#include "device/paced_send.hpp"

namespace quave {

// Where one output substream of a card's raw MIDI device is.
struct RawMidiOutput {
  int card = 0;
  int device = 0;
  int subdevice = 0;
};

// The rawmidi output behind the ALSA port named `port_name` (the MIDI
// library's form "CLIENT:PORT C:P"), given the text of /proc/asound/cards.
// Nothing when the port is not a card's own sequencer MIDI client: an
// application, a virtual raw MIDI client, a timer, or a name of other form.
std::optional<RawMidiOutput> rawmidi_output_of(const std::string& port_name,
                                               const std::string& cards_text);

// The free room of `subdevice`'s output in the text of its device's /proc
// file; nothing when that output is not open or the text has no such line.
std::optional<size_t> output_room_in(const std::string& proc_text, int subdevice);

// Reads the room of the output behind `port_name` from /proc each call; an
// empty function when the port has no such feedback (the caller paces by
// time instead).
RoomFeedback output_room_probe(const std::string& port_name);

}  // namespace quave
