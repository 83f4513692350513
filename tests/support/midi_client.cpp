#include "tests/support/midi_client.hpp"

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <utility>

namespace quave::test {

MidiClient::MidiClient(const std::string& server, const std::string& read_port,
                       const std::string& write_port) {
  // libjack picks the server from the environment when the client opens.
  setenv("JACK_DEFAULT_SERVER", server.c_str(), 1);
  link_ = std::make_unique<devsim::MidiLink>(RtMidi::UNIX_JACK, "quave-test",
                                             devsim::MidiLink::Join{"test in", read_port},
                                             devsim::MidiLink::Join{"test out", write_port});
}

void MidiClient::send(const Bytes& message) { link_->send(message); }

std::vector<Bytes> MidiClient::exchange(const Bytes& message, size_t count, int arrival_ms) {
  using std::chrono::milliseconds;
  using std::chrono::steady_clock;
  link_->send(message);
  std::vector<Bytes> got = link_->receive(steady_clock::now() + milliseconds(arrival_ms), count);
  if (got.size() < count) return got;
  for (Bytes& more : link_->receive(steady_clock::now() + milliseconds(kQuietMs), SIZE_MAX)) {
    got.push_back(std::move(more));
  }
  return got;
}

}  // namespace quave::test
