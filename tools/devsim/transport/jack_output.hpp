// The simulator's output port on JACK. RtMidi's JACK output drops whatever
// does not fit into one period's buffer, and a process thread that runs late
// on a busy machine finds more than that waiting (a flood, then its reply,
// lost at the tail). This one carries the rest over to the next periods, and
// keeps each period within what the server carries in one (PipeWire's since
// 1.3: 8,186 bytes of SysEx a port, where more crashed the sender).
#pragma once

#include <memory>
#include <string>

#include "tools/devsim/device/sysex.hpp"

namespace devsim {

class JackOutput;

// Joins the JACK server as `client` with one output port named `port`.
// Throws std::runtime_error when that fails.
std::shared_ptr<JackOutput> open_jack_output(const std::string& client, const std::string& port);

// Queues `m` for the next periods; waits while the queue is full. A message
// longer than the link carries (16 KiB with its length, as RtMidi's JACK
// output, or the server's largest event) is dropped, as the device's own
// link would drop it.
void send(JackOutput& out, const device_side::Message& m);

}  // namespace devsim
