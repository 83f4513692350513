// The simulator as the device behind a kernel MIDI port (a USB synthesizer,
// or one behind a DIN interface): it speaks over the raw byte stream of a
// rawmidi device such as /dev/snd/midiC0D0 under snd-virmidi, and reads no
// faster than its link would drain the kernel's buffer.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "tools/devsim/device/sysex.hpp"

namespace devsim {

// Splits a byte stream into SysEx messages. Real-time bytes inside a
// message are dropped; any other status byte abandons a message in progress
// (and is not kept: the device answers SysEx only).
class SysexAssembler {
 public:
  void feed(const uint8_t* bytes, size_t size, std::vector<device_side::Message>& done);

 private:
  device_side::Message partial_;
  bool in_sysex_ = false;
};

class RawMidiLink {
 public:
  // `bytes_per_second` 0: read as fast as bytes come. Throws
  // std::runtime_error when the device cannot be opened.
  RawMidiLink(const std::string& path, uint32_t bytes_per_second);
  ~RawMidiLink();
  RawMidiLink(const RawMidiLink&) = delete;
  RawMidiLink& operator=(const RawMidiLink&) = delete;

  // Messages completed so far; reads until `until` when there are none.
  std::vector<device_side::Message> receive(std::chrono::steady_clock::time_point until);
  void send(const device_side::Message& m);
  std::string api_name() const { return "rawmidi " + path_; }

 private:
  std::string path_;
  int fd_ = -1;
  uint32_t rate_;
  double credit_ = 0;  // bytes the link may drain now
  bool idle_ = true;   // the last read emptied the kernel's buffer
  std::chrono::steady_clock::time_point last_{};
  SysexAssembler assembler_;
};

}  // namespace devsim
