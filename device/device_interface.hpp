// The program's connection to one synthesizer: two MIDI ports found by name
// or given by index, the engine's pending request, what the device reported,
// and the transactions run over them. Its members are defined in
// device_interface.cpp (life and sending) and device_interface_ports.cpp,
// _handshake.cpp, _load.cpp and _clear.cpp.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

#include "device/device_records.hpp"
#include "device/engine.hpp"
#include "device/messages.hpp"
#include "device/output_room.hpp"
#include "device/paced_send.hpp"

namespace quave {

class MidiPort;

constexpr uint32_t kStatePortsOpen = 0x4;
constexpr uint32_t kStateHandshakeComplete = 0x8;

// Port name patterns (POSIX extended, searched anywhere in the name), tried in
// table order.
extern const char* const kInputPortPatterns[4];
extern const char* const kOutputPortPatterns[4];

class DeviceInterface {
 public:
  explicit DeviceInterface(uint32_t options);
  ~DeviceInterface();
  DeviceInterface(const DeviceInterface&) = delete;
  DeviceInterface& operator=(const DeviceInterface&) = delete;

  // Ports (an index with bit 7 set is "not given"; both not given searches by
  // name).
  bool open_ports(uint8_t in_port, uint8_t out_port);
  void list_input_ports(std::ostream& out);
  void list_output_ports(std::ostream& out);
  unsigned input_port_count();
  unsigned output_port_count();
  std::string input_port_name(unsigned i);
  std::string output_port_name(unsigned i);

  // Transactions; each returns false silently when its preconditions fail.
  bool handshake();
  // `module` is the one the command checked the image against.
  bool load_unit(const std::vector<uint8_t>& image, uint8_t module, uint8_t slot);
  bool clear_slot(uint8_t module, uint8_t slot);
  bool clear_module(uint8_t module);

  // Engine entry points.
  void send_request(const Message& message);
  WaitOutcome wait_for_reply(uint32_t flag_mask, uint32_t timeout_ms) {
    return quave::wait_for_reply(pending, flag_mask, timeout_ms);
  }
  WaitOutcome wait_for_reply(uint32_t flag_mask, uint32_t timeout_ms, uint32_t asked_index) {
    return quave::wait_for_reply(pending, flag_mask, timeout_ms, asked_index);
  }
  // The MIDI input callback.
  static void on_midi_message(double timestamp, const unsigned char* message, size_t size,
                              void* user_data);

  uint32_t options;
  std::atomic<uint32_t> state;
  // Input callbacks under way; the ports are freed only when none is.
  std::atomic<int> callbacks_running{0};
  DeviceInfo info;
  PendingRequest pending;

  // Where requests go instead of the output port when set; lets tests stand in
  // for a device without MIDI.
  std::function<void(const Message&)> sender;

 private:
  bool ensure_midi_in();
  bool ensure_midi_out();
  // Whether the output port opened is still listed: a device unplugged or
  // switched off takes its ports with it.
  bool output_port_present();
  Pacing pacing_for_output();

  std::unique_ptr<MidiPort> midi_in;
  std::unique_ptr<MidiPort> midi_out;
  // Found by their names: the device's own ports rather than an interface.
  bool ports_by_name_ = false;
  std::string output_port_name_;
  // What the kernel says of the output port: a card's MIDI hardware port,
  // and the free room in front of its link where that shows.
  OutputLink output_link_;
  bool told_unknown_room_ = false;
};

}  // namespace quave
