// A bare RtMidi client on the JACK API for tests that talk to a simulator
// directly, without the program in between.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "tools/devsim/midi_link.hpp"

namespace quave::test {

using Bytes = std::vector<unsigned char>;

class MidiClient {
 public:
  // Joins JACK server `server` and connects to the first ports whose names
  // contain `read_port` (the device's output) and `write_port`. Throws when
  // either is missing. Every message type is delivered, timing included.
  MidiClient(const std::string& server, const std::string& read_port,
             const std::string& write_port);

  // Sends, then waits until `count` messages have arrived in all or
  // `timeout_ms` passed, and hands over what arrived (possibly fewer).
  std::vector<Bytes> exchange(const Bytes& message, size_t count = 1, int timeout_ms = 1000);
  // Waits as exchange does, without sending: for a quiet window after the
  // expected messages.
  std::vector<Bytes> receive(size_t count, int timeout_ms);

 private:
  std::unique_ptr<devsim::MidiLink> link_;
};

}  // namespace quave::test
