#include "tests/support/midi_client.hpp"

#include <chrono>
#include <cstdlib>
#include <stdexcept>
#include <thread>

namespace quave::test {

namespace {

template <typename Port>
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
  in_ = std::make_unique<RtMidiIn>(RtMidi::UNIX_JACK, "quave-test");
  in_->ignoreTypes(false, false, false);
  in_->setCallback(&MidiClient::on_message, this);
  in_->openPort(find_port(*in_, read_port), "test in");
  out_ = std::make_unique<RtMidiOut>(RtMidi::UNIX_JACK, "quave-test");
  out_->openPort(find_port(*out_, write_port), "test out");
  // A connection takes effect at a later JACK cycle; a message sent before
  // that is dropped without a trace, so let a few cycles pass.
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
}

MidiClient::~MidiClient() {
  // RtMidi's JACK output frees its ring buffer before its process thread
  // stops; closing the port and letting a few cycles pass avoids a crash.
  if (out_ && out_->isPortOpen()) {
    out_->closePort();
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  out_.reset();
  in_.reset();
}

void MidiClient::on_message(double, std::vector<unsigned char>* message, void* self) {
  auto* client = static_cast<MidiClient*>(self);
  {
    std::lock_guard<std::mutex> lock(client->mutex_);
    client->inbox_.push_back(*message);
  }
  client->arrived_.notify_all();
}

void MidiClient::send(const Bytes& message) { out_->sendMessage(&message); }

std::vector<Bytes> MidiClient::receive(size_t count, int timeout_ms) {
  std::unique_lock<std::mutex> lock(mutex_);
  arrived_.wait_for(lock, std::chrono::milliseconds(timeout_ms),
                    [&] { return inbox_.size() >= count; });
  std::vector<Bytes> out;
  out.swap(inbox_);
  return out;
}

std::vector<Bytes> MidiClient::exchange(const Bytes& message, size_t count, int timeout_ms) {
  send(message);
  return receive(count, timeout_ms);
}

}  // namespace quave::test
