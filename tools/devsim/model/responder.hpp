// From one inbound message to what goes out: the device's answer with the
// configured faults applied.
#pragma once

#include <vector>

#include "tools/devsim/model/sim_device.hpp"

namespace devsim {

struct Outgoing {
  unsigned delay_ms = 0;  // after the request arrived
  Message bytes;
};

// The unrelated messages sent before an answer when `noise` is on: a SysEx
// with the non-commercial manufacturer id, a note on and a note off, and a
// copy of `reply` under that other manufacturer id.
std::vector<Message> noise_before(const Message& reply);

// The first `count` messages of an endless mix of traffic that no device
// link may take for `reply`: channel and real-time messages, other
// manufacturers' SysEx, and copies of `reply` for another channel or model.
std::vector<Message> flood_before(const Message& reply, unsigned count);

// Flood messages leave at this rate, so that the MIDI link's buffers keep up.
constexpr unsigned kFloodPerMs = 20;

// Applies the reply-shaping faults of `f` to `replies`.
std::vector<Outgoing> shape_replies(const KindFaults& f, std::vector<Message> replies);

// Everything sent in answer to `request`; nothing for a message that is not
// a request to this device or that a fault keeps unanswered.
std::vector<Outgoing> respond(SimDevice& device, const SimConfig& config, const Message& request);

}  // namespace devsim
