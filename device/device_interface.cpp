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
  // RtMidi's JACK output frees its ring buffer before it stops the client's
  // process thread, which may still be reading it (seen as a crash at exit).
  // Closing the port first and letting a few cycles pass keeps that thread
  // off the buffer.
  if (midi_out && midi_out->is_open()) {
    midi_out->close();
    pause_10ms();
  }
  // The output goes first; closing the input stops the callback before the
  // records it writes into go away.
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
      });
}

void DeviceInterface::on_midi_message(double, const unsigned char* message, size_t size,
                                      void* user_data) {
  if (!user_data || (!message && size > 0)) return;
  auto* device = static_cast<DeviceInterface*>(user_data);
  if (!(device->state & kStatePortsOpen)) return;
  Message copy(message, message + size);
  dispatch_reply(device->pending, copy);
}

}  // namespace quave
