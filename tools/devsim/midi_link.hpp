// The simulator's two virtual MIDI ports and the queue between RtMidi's
// input thread and the main loop.
#pragma once

#include <RtMidi.h>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "device/messages.hpp"

namespace devsim {

class MidiLink {
 public:
  // Opens an input port named `in_name` and an output port named `out_name`
  // as virtual ports. `api` is "alsa", "jack" or empty for the first
  // compiled API that works. Throws std::runtime_error when none does.
  MidiLink(const std::string& api, const std::string& in_name, const std::string& out_name);
  ~MidiLink();
  MidiLink(const MidiLink&) = delete;
  MidiLink& operator=(const MidiLink&) = delete;

  // Messages received so far; waits until `until` when there are none.
  std::vector<quave::Message> receive(std::chrono::steady_clock::time_point until);
  void send(const quave::Message& m);
  std::string api_name() const;

 private:
  bool try_open(RtMidi::Api api, const std::string& in_name, const std::string& out_name,
                std::string& error);
  static void on_message(double stamp, std::vector<unsigned char>* message, void* self);

  std::unique_ptr<RtMidiIn> in_;
  std::unique_ptr<RtMidiOut> out_;
  std::mutex mutex_;
  std::condition_variable arrived_;
  std::deque<quave::Message> inbox_;
};

}  // namespace devsim
