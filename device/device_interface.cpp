#include "device/device_interface.hpp"

#include <algorithm>
#include <chrono>
#include <thread>

#include "base/console.hpp"
#include "base/terminal.hpp"
#include "device/interrupt.hpp"
#include "device/midi_port.hpp"
#include "device/paced_send.hpp"
#include "device/send_progress.hpp"
#include "device/undrained_close.hpp"

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
  // Closing the output and freeing it each let go of the device's port,
  // where the kernel would wait for a dead link to drain.
  const bool dead_link = pending.link_fault != LinkFault::none && midi_out &&
                         midi_out->backend() == MidiBackend::alsa;
  const auto let_go = [dead_link](const std::function<void()>& step) {
    dead_link ? close_undrained(step) : step();
  };
  if (midi_out) let_go([this] { midi_out->close(); });
  if (midi_in) midi_in->close();
  if (was_open) pause_10ms();
  for (int turn = 0; callbacks_running > 0 && turn < 100; ++turn) pause_10ms();
  let_go([this] { midi_out.reset(); });
  midi_in.reset();
}

namespace {

// Thrown out of a paced send's pause when the device's port went away.
struct PortGone {};

constexpr auto kPresenceEvery = std::chrono::milliseconds(100);

}  // namespace

Pacing DeviceInterface::pacing_for_output() {
  Pacing pacing = pacing_for(midi_out->backend(), ports_by_name_);
  // A card's port whose buffer cannot be read (a container hides
  // /proc/asound) may lead to anything down to a 5-pin DIN link.
  if (output_link_.card_port && !output_link_.room && pacing.bytes_per_second != 0) {
    pacing.bytes_per_second = kDinBytesPerSecond;
  }
  return pacing;
}

void DeviceInterface::send_request(const Message& message) {
  if (options & kOptionDebug) dump_message(">>> ", message.data(), message.size());
  if (sender) {
    sender(message);
    return;
  }
  if (!ensure_midi_out()) return;
  MidiPort& out = *midi_out;
  const Pacing pacing = pacing_for_output();
  if (pacing.fragment != 0 && message.size() > pacing.fragment && output_link_.card_port &&
      !output_link_.room && (options & kOptionVerbose) && !told_unknown_room_) {
    out_line("> The room in the kernel's MIDI buffer cannot be read here: sending at 5-pin DIN "
             "speed, " + std::to_string(kDinBytesPerSecond) + " bytes a second.");
    told_unknown_room_ = true;
  }
  const auto gone = [this] { return pending.device_present && !pending.device_present(); };
  auto asked = std::chrono::steady_clock::now();
  SendProgress progress(message.size(), stderr_is_terminal());
  SendEnd end = SendEnd::sent;
  try {
    end = send_paced(
        message.data(), message.size(), pacing,
        [&out](const uint8_t* bytes, size_t size) { return out.send(bytes, size); },
        [&](uint64_t us) {
          // A slow link's pauses add up to seconds: a signal still ends them,
          // and so does the device going away.
          std::this_thread::sleep_for(std::chrono::microseconds(std::min<uint64_t>(us, 10000)));
          throw_if_interrupted();
          const auto now = std::chrono::steady_clock::now();
          if (now - asked < kPresenceEvery) return;
          asked = now;
          if (gone()) throw PortGone{};
        },
        output_link_.room, [&progress](size_t sent) { progress.update(sent); });
  } catch (const PortGone&) {
    pending.link_fault = LinkFault::gone;
    return;
  }
  // An ordinary failed send is left to the wait that follows, which times
  // out and says so.
  if (end != SendEnd::sent && gone()) {
    pending.link_fault = LinkFault::gone;
  } else if (end == SendEnd::stalled) {
    pending.link_fault = LinkFault::stalled;
  }
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
