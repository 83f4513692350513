// One MIDI port object of the system's MIDI library. The library is opened
// the first time a port is made, so commands that never touch MIDI (check)
// do not pay for loading it and the sound-server libraries behind it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "device/paced_send.hpp"

struct RtMidiWrapper;

namespace quave {

enum class MidiDirection { input, output };

// Called on the library's input thread with each whole message.
using MidiCallback = void (*)(double timestamp, const unsigned char* message, size_t size,
                              void* user_data);

// The library's backends in its order of preference; empty when the library
// cannot be loaded.
std::vector<int> midi_backends();
// Why the library cannot be loaded, or nothing.
std::optional<std::string> midi_library_problem();

// Every call reports failure as false (or 0 ports) instead of throwing.
class MidiPort {
 public:
  // Nothing when the library is missing or the backend refuses.
  static std::unique_ptr<MidiPort> create(MidiDirection direction, int backend,
                                          const char* client_name);
  ~MidiPort();
  MidiPort(const MidiPort&) = delete;
  MidiPort& operator=(const MidiPort&) = delete;

  bool port_count(unsigned& count);
  bool port_name(unsigned index, std::string& name);
  bool open(unsigned index, const char* port_name);
  bool is_open() const { return open_; }
  void close();
  bool ignore_types(bool sysex, bool timing, bool sensing);  // input only
  bool set_callback(MidiCallback callback, void* user_data);  // input only
  bool send(const uint8_t* bytes, size_t size);               // output only
  MidiBackend backend() const { return backend_; }

 private:
  MidiPort(MidiDirection direction, MidiBackend backend, RtMidiWrapper* handle)
      : direction_(direction), backend_(backend), handle_(handle) {}

  MidiDirection direction_;
  MidiBackend backend_;
  RtMidiWrapper* handle_;
  bool open_ = false;
};

}  // namespace quave
