#include "tests/support/midi_client.hpp"

#include <chrono>
#include <cstdlib>

namespace quave::test {

MidiClient::MidiClient(const std::string& server, const std::string& read_port,
                       const std::string& write_port) {
  // libjack picks the server from the environment when the client opens.
  setenv("JACK_DEFAULT_SERVER", server.c_str(), 1);
  link_ = std::make_unique<devsim::MidiLink>(RtMidi::UNIX_JACK, "quave-test",
                                             devsim::MidiLink::Join{"test in", read_port},
                                             devsim::MidiLink::Join{"test out", write_port});
}

std::vector<Bytes> MidiClient::exchange(const Bytes& message, size_t count, int timeout_ms) {
  link_->send(message);
  return receive(count, timeout_ms);
}

std::vector<Bytes> MidiClient::receive(size_t count, int timeout_ms) {
  return link_->receive(std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms),
                        count);
}

}  // namespace quave::test
