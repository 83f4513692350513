// The simulator's two virtual MIDI ports, which the program finds by name,
// and the inbox between the MIDI library's input thread and the simulator's
// loop.
#pragma once

#include <RtMidi.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "base/inbox.hpp"
#include "tools/devsim/device/sysex.hpp"
#include "tools/devsim/transport/jack_output.hpp"

namespace devsim {

class SimPorts {
 public:
  // Opens an input port named `in_name` and an output port named `out_name`
  // as virtual ports. `api` is "alsa", "jack" or empty for the first
  // compiled API that works. `output_first`: the output is made first, so
  // that two simulators' ports list in different orders. Throws
  // std::runtime_error when none does.
  SimPorts(const std::string& api, const std::string& in_name, const std::string& out_name,
           bool output_first = false);
  ~SimPorts();
  SimPorts(const SimPorts&) = delete;
  SimPorts& operator=(const SimPorts&) = delete;

  // Every message received so far, waiting until `until` for the first.
  std::vector<device_side::Message> receive(std::chrono::steady_clock::time_point until);
  void send(const device_side::Message& m);
  std::string api_name() const;

 private:
  bool try_open(RtMidi::Api api, const std::string& in_name, const std::string& out_name,
                bool output_first, std::string& error);
  static void on_message(double stamp, std::vector<unsigned char>* message, void* self);
  static void on_error(RtMidiError::Type, const std::string& text, void*);

  std::unique_ptr<RtMidiIn> in_;
  std::unique_ptr<RtMidiOut> out_;
  // Instead of out_ on JACK.
  std::shared_ptr<JackOutput> jack_out_;
  quave::Inbox inbox_;
};

}  // namespace devsim
