#include "tools/devsim/transport/jack_output.hpp"

#include <jack/jack.h>
#include <jack/midiport.h>
#include <jack/ringbuffer.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <stdexcept>
#include <thread>

#include "device/midi/system/jack_server.hpp"

namespace devsim {

class JackOutput {
 public:
  JackOutput(const std::string& client, const std::string& port);
  ~JackOutput();
  JackOutput(const JackOutput&) = delete;
  JackOutput& operator=(const JackOutput&) = delete;

  void send(const device_side::Message& m);

 private:
  static int process(jack_nframes_t frames, void* self);

  jack_client_t* client_ = nullptr;
  jack_port_t* port_ = nullptr;
  jack_ringbuffer_t* ring_ = nullptr;
  // The longest message that goes, and what may go in one cycle.
  size_t longest_ = 0;
  size_t per_cycle_ = SIZE_MAX;
};

namespace {

constexpr size_t kRingBytes = 16384;
using Length = uint32_t;  // before each message in the ring
// A server that takes nothing for this long is gone or stuck; the simulator
// must still end on a signal.
constexpr auto kFullQueueLimit = std::chrono::seconds(10);

}  // namespace

JackOutput::JackOutput(const std::string& client, const std::string& port) {
  jack_status_t status{};
  client_ = jack_client_open(client.c_str(), JackNoStartServer, &status);
  if (!client_) throw std::runtime_error("cannot join the JACK server");
  // A server that turns events into MIDI 2.0 packets (PipeWire since 1.3)
  // holds one largest event for all of a port's events in a cycle.
  const quave::JackServer server = quave::jack_server_from(jack_get_version_string());
  longest_ = std::min(kRingBytes - 1 - sizeof(Length), server.largest_event);
  if (!server.carries_continuations) per_cycle_ = server.largest_event;
  ring_ = jack_ringbuffer_create(kRingBytes);
  port_ = jack_port_register(client_, port.c_str(), JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
  if (!ring_ || !port_ || jack_set_process_callback(client_, &JackOutput::process, this) != 0 ||
      jack_activate(client_) != 0) {
    jack_client_close(client_);
    if (ring_) jack_ringbuffer_free(ring_);
    throw std::runtime_error("cannot open the JACK output port " + port);
  }
}

JackOutput::~JackOutput() {
  // The process thread stops before the ring it reads goes.
  jack_deactivate(client_);
  jack_client_close(client_);
  jack_ringbuffer_free(ring_);
}

int JackOutput::process(jack_nframes_t frames, void* self) {
  auto* out = static_cast<JackOutput*>(self);
  void* buffer = jack_port_get_buffer(out->port_, frames);
  jack_midi_clear_buffer(buffer);
  Length length = 0;
  size_t room = out->per_cycle_;
  while (jack_ringbuffer_peek(out->ring_, reinterpret_cast<char*>(&length), sizeof length) ==
             sizeof length &&
         jack_ringbuffer_read_space(out->ring_) >= sizeof length + length &&
         jack_midi_max_event_size(buffer) >= length && length <= room) {
    jack_midi_data_t* slot = jack_midi_event_reserve(buffer, 0, length);
    if (!slot) break;
    jack_ringbuffer_read_advance(out->ring_, sizeof length);
    jack_ringbuffer_read(out->ring_, reinterpret_cast<char*>(slot), length);
    room -= length;
  }
  return 0;
}

void JackOutput::send(const device_side::Message& m) {
  const Length length = static_cast<Length>(m.size());
  const size_t needed = sizeof length + m.size();
  if (m.size() > longest_) return;
  const auto give_up = std::chrono::steady_clock::now() + kFullQueueLimit;
  while (jack_ringbuffer_write_space(ring_) < needed) {
    if (std::chrono::steady_clock::now() > give_up) {
      std::fputs("devsim: the JACK server takes no output; a message is dropped\n", stderr);
      return;
    }
    std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
  jack_ringbuffer_write(ring_, reinterpret_cast<const char*>(&length), sizeof length);
  jack_ringbuffer_write(ring_, reinterpret_cast<const char*>(m.data()), m.size());
}

std::shared_ptr<JackOutput> open_jack_output(const std::string& client, const std::string& port) {
  return std::make_shared<JackOutput>(client, port);
}

void send(JackOutput& out, const device_side::Message& m) { out.send(m); }

}  // namespace devsim
