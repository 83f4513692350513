// A bare RtMidi client on the JACK API for tests that talk to a simulator
// directly, without the program in between.
#pragma once

#include <RtMidi.h>

#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

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

  void send(const Bytes& message);
  // Waits until `count` messages have arrived in all or `timeout_ms` passed,
  // and hands over what arrived (possibly fewer).
  std::vector<Bytes> receive(size_t count, int timeout_ms);
  // Sends, then waits for one message.
  std::vector<Bytes> exchange(const Bytes& message, size_t count = 1, int timeout_ms = 1000);

 private:
  static void on_message(double, std::vector<unsigned char>* message, void* self);

  std::unique_ptr<RtMidiIn> in_;
  std::unique_ptr<RtMidiOut> out_;
  std::mutex mutex_;
  std::condition_variable arrived_;
  std::vector<Bytes> inbox_;
};

}  // namespace quave::test
