// One MIDI port object of the system's MIDI library, through its C
// interface. Every call reports failure as false (or 0 ports) instead of
// throwing.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct RtMidiWrapper;

namespace quave {

struct MidiLibrary;

enum class MidiBackend { alsa, jack, other };
enum class MidiDirection { input, output };

// Called on the library's input thread with each whole message.
using MidiCallback = void (*)(double timestamp, const unsigned char* message, size_t size,
                              void* user_data);

// The library's backends in its order of preference.
std::vector<int> midi_backends(const MidiLibrary& library);

class MidiPort {
 public:
  // Nothing when the backend refuses.
  static std::unique_ptr<MidiPort> create(const MidiLibrary& library, MidiDirection direction,
                                          int backend, const char* client_name);
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
  MidiPort(const MidiLibrary& library, MidiDirection direction, MidiBackend backend,
           RtMidiWrapper* handle)
      : lib_(library), direction_(direction), backend_(backend), handle_(handle) {}

  const MidiLibrary& lib_;
  MidiDirection direction_;
  MidiBackend backend_;
  RtMidiWrapper* handle_;
  bool open_ = false;
};

// Closes both ports, the output first, and frees them. `undrained`: let go
// of an ALSA port without the kernel's drain. `callbacks`, when given, counts
// input callbacks under way, which the freeing waits for.
void close_ports(std::unique_ptr<MidiPort>& in, std::unique_ptr<MidiPort>& out, bool undrained,
                 const std::atomic<int>* callbacks = nullptr);

}  // namespace quave
