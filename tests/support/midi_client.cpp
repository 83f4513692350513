#include "tests/support/midi_client.hpp"

#include <RtMidi.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <stdexcept>
#include <thread>
#include <utility>

namespace quave::test {

namespace {

constexpr const char* kClient = "quave-test";

template <class Port>
unsigned find_port(Port& port, const std::string& part) {
  for (unsigned i = 0; i < port.getPortCount(); ++i) {
    if (port.getPortName(i).find(part) != std::string::npos) return i;
  }
  throw std::runtime_error("no MIDI port named like '" + part + "'");
}

}  // namespace

MidiClient::MidiClient(const std::string& server, const std::string& read_port,
                       const std::string& write_port) {
  // libjack picks the server from the environment when the client opens.
  setenv("JACK_DEFAULT_SERVER", server.c_str(), 1);
  in_ = std::make_unique<RtMidiIn>(RtMidi::UNIX_JACK, kClient);
  in_->ignoreTypes(false, false, false);
  in_->setCallback(&MidiClient::on_message, this);
  in_->openPort(find_port(*in_, read_port), "test in");
  out_ = std::make_unique<RtMidiOut>(RtMidi::UNIX_JACK, kClient);
  out_->openPort(find_port(*out_, write_port), "test out");
  // A connection takes effect at a later JACK cycle; a message sent before
  // that is dropped without a trace, so let a few cycles pass.
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
}

MidiClient::~MidiClient() {
  // RtMidi's JACK output frees its ring buffer before its process thread
  // stops; closing the port first and letting a few cycles pass keeps that
  // thread off the buffer.
  if (out_) {
    out_->closePort();
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  out_.reset();
  in_.reset();
}

void MidiClient::on_message(double, std::vector<unsigned char>* message, void* self) {
  static_cast<MidiClient*>(self)->inbox_.put(message->data(), message->size());
}

void MidiClient::send(const Bytes& message) { out_->sendMessage(message.data(), message.size()); }

std::vector<Bytes> MidiClient::exchange(const Bytes& message, size_t count, int arrival_ms) {
  using std::chrono::milliseconds;
  using std::chrono::steady_clock;
  send(message);
  std::vector<Bytes> got = inbox_.take_all(steady_clock::now() + milliseconds(arrival_ms), count);
  if (got.size() < count) return got;
  for (Bytes& more : inbox_.take_all(steady_clock::now() + milliseconds(kQuietMs), SIZE_MAX)) {
    got.push_back(std::move(more));
  }
  return got;
}

}  // namespace quave::test
