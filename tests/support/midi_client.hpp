// A bare RtMidi client on the JACK API for tests that talk to a simulator
// directly, without the program in between.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "base/inbox.hpp"

class RtMidiIn;
class RtMidiOut;

namespace quave::test {

using Bytes = std::vector<unsigned char>;

class MidiClient {
 public:
  // Joins JACK server `server` and connects to the first ports whose names
  // contain `read_port` (the device's output) and `write_port`. Throws when
  // either is missing. Every message type is delivered, timing included.
  MidiClient(const std::string& server, const std::string& read_port,
             const std::string& write_port);
  ~MidiClient();
  MidiClient(const MidiClient&) = delete;
  MidiClient& operator=(const MidiClient&) = delete;

  // Sends, waits until `count` messages have arrived (a loaded machine may
  // take seconds) and then a short quiet window for any that should not
  // come; hands over all that arrived, fewer if `arrival_ms` ran out.
  // A `count` of 0 listens for the quiet window alone.
  void send(const Bytes& message);
  static constexpr int kArrivalMs = 10000;
  static constexpr int kQuietMs = 300;
  std::vector<Bytes> exchange(const Bytes& message, size_t count = 1,
                              int arrival_ms = kArrivalMs);

 private:
  static void on_message(double stamp, std::vector<unsigned char>* message, void* self);

  std::unique_ptr<RtMidiIn> in_;
  std::unique_ptr<RtMidiOut> out_;
  Inbox inbox_;
};

}  // namespace quave::test
