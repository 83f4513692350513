#include "device/device_interface.hpp"

#include <algorithm>
#include <chrono>
#include <thread>

#include "device/interrupt.hpp"
#include "device/midi_port.hpp"
#include "device/paced_send.hpp"

namespace quave {

DeviceInterface::DeviceInterface(uint32_t options_word)
    : options(options_word), state(0) {
  pending.options = options_word;
  pending.info = &info;
}

DeviceInterface::~DeviceInterface() {
  // Closing a JACK client cancels its process thread wherever it stands, even
  // inside the input callback's memory allocation, which leaves the heap
  // locked or broken (a crash when a command was cut short while replies were
  // still arriving). RtMidi's JACK output also frees its ring buffer before it
  // stops that thread. With both ports closed the callbacks return at once;
  // the clients close only after the ones already running have finished.
  const bool was_open = (midi_out && midi_out->is_open()) || (midi_in && midi_in->is_open());
  state &= ~kStatePortsOpen;
  if (midi_out) midi_out->close();
  if (midi_in) midi_in->close();
  if (was_open) pause_10ms();
  for (int turn = 0; callbacks_running > 0 && turn < 100; ++turn) pause_10ms();
  midi_out.reset();
  midi_in.reset();
}

void DeviceInterface::send_request(const Message& message) {
  if (options & kOptionDebug) dump_message(">>> ", message.data(), message.size());
  if (sender) {
    sender(message);
    return;
  }
  if (!ensure_midi_out()) return;
  // A send that fails is not reported here: the wait that follows times out
  // and says so.
  MidiPort& out = *midi_out;
  send_paced(
      message.data(), message.size(), pacing_for(out.backend(), ports_by_name_),
      [&out](const uint8_t* bytes, size_t size) { return out.send(bytes, size); },
      [](uint64_t us) {
        // A slow link's pauses add up to seconds: a signal still ends them.
        std::this_thread::sleep_for(std::chrono::microseconds(std::min<uint64_t>(us, 10000)));
        throw_if_interrupted();
      },
      output_room_);
}

void DeviceInterface::on_midi_message(double, const unsigned char* message, size_t size,
                                      void* user_data) {
  if (!user_data || (!message && size > 0)) return;
  auto* device = static_cast<DeviceInterface*>(user_data);
  ++device->callbacks_running;
  struct Leave {
    std::atomic<int>& count;
    ~Leave() { --count; }
  } leave{device->callbacks_running};
  if (!(device->state & kStatePortsOpen)) return;
  Message copy(message, message + size);
  dispatch_reply(device->pending, copy);
}

}  // namespace quave
