// Two RtMidi ports and the queue between RtMidi's input thread and whoever
// waits for messages: the simulator on its virtual ports, and test clients
// connected to a simulator's ports.
//
// Header only: the test support library uses it without linking the
// simulator's core.
#pragma once

#include <RtMidi.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "base/inbox.hpp"
#include "device/protocol/messages.hpp"
#include "tools/devsim/jack_output.hpp"

namespace devsim {

class MidiLink {
 public:
  // Opens an input port named `in_name` and an output port named `out_name`
  // as virtual ports. `api` is "alsa", "jack" or empty for the first
  // compiled API that works. Throws std::runtime_error when none does.
  MidiLink(const std::string& api, const std::string& in_name, const std::string& out_name);

  // A port of ours and part of the name of the existing port it connects to.
  struct Join {
    std::string name;
    std::string peer;
  };
  // Joins `api` as `client` and connects to the first existing ports whose
  // names contain `in.peer` (someone's output) and `out.peer`. Throws
  // std::runtime_error when either is missing. Every message type is
  // delivered, timing included.
  MidiLink(RtMidi::Api api, const std::string& client, const Join& in, const Join& out);

  ~MidiLink();
  MidiLink(const MidiLink&) = delete;
  MidiLink& operator=(const MidiLink&) = delete;

  // Messages received so far; waits until `until` while fewer than `count`
  // have arrived.
  std::vector<quave::Message> receive(std::chrono::steady_clock::time_point until,
                                      size_t count = 1);
  void send(const quave::Message& m) {
    if (jack_out_) {
      jack_send_(*jack_out_, m);
    } else {
      out_->sendMessage(m.data(), m.size());
    }
  }
  std::string api_name() const {
    return in_ ? RtMidi::getApiName(in_->getCurrentApi()) : "";
  }

 private:
  bool try_open(RtMidi::Api api, const std::string& in_name, const std::string& out_name,
                std::string& error);
  void open_input(RtMidi::Api api, const std::string& client, bool ignore_timing);
  template <class Port>
  static unsigned find_port(Port& port, const std::string& part);
  static void on_message(double stamp, std::vector<unsigned char>* message, void* self);
  static void on_error(RtMidiError::Type, const std::string& text, void*);

  std::unique_ptr<RtMidiIn> in_;
  std::unique_ptr<RtMidiOut> out_;
  // Instead of out_ for virtual ports on JACK. Reached through a pointer set
  // where the port opens, so that test clients need not link it.
  std::shared_ptr<JackOutput> jack_out_;
  void (*jack_send_)(JackOutput&, const quave::Message&) = nullptr;
  quave::Inbox inbox_;
};

inline MidiLink::MidiLink(const std::string& api, const std::string& in_name,
                          const std::string& out_name) {
  std::vector<RtMidi::Api> apis;
  if (api.empty()) {
    RtMidi::getCompiledApi(apis);
  } else {
    const RtMidi::Api chosen = RtMidi::getCompiledApiByName(api);
    if (chosen == RtMidi::UNSPECIFIED) throw std::runtime_error("MIDI API not compiled in: " + api);
    apis.push_back(chosen);
  }
  std::string errors;
  for (RtMidi::Api a : apis) {
    std::string error;
    if (try_open(a, in_name, out_name, error)) return;
    errors += (errors.empty() ? "" : "; ") + RtMidi::getApiName(a) + ": " + error;
  }
  throw std::runtime_error("cannot open virtual MIDI ports (" + errors + ")");
}

inline MidiLink::MidiLink(RtMidi::Api api, const std::string& client, const Join& in,
                          const Join& out) {
  open_input(api, client, false);
  in_->openPort(find_port(*in_, in.peer), in.name);
  out_ = std::make_unique<RtMidiOut>(api, client);
  out_->openPort(find_port(*out_, out.peer), out.name);
  // A connection takes effect at a later JACK cycle; a message sent before
  // that is dropped without a trace, so let a few cycles pass.
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
}

inline MidiLink::~MidiLink() {
  // RtMidi's JACK output frees its ring buffer before its process thread
  // stops; closing the port (its process callback then returns at once) and
  // letting a few cycles pass keeps that thread off the buffer (seen as a
  // crash at shutdown). A virtual port does not count as open, so it is
  // closed unconditionally.
  if (out_) {
    out_->closePort();
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  // Output first, so nothing leaves after the input stopped listening.
  jack_out_.reset();
  out_.reset();
  in_.reset();
}

inline bool MidiLink::try_open(RtMidi::Api api, const std::string& in_name,
                               const std::string& out_name, std::string& error) {
  constexpr const char* kClientName = "quave-devsim";
  // Input first: on JACK the ports then read "quave-devsim:<model> SOUND" and
  // "quave-devsim-01:<model> KBD/KNOB", which port listings in tests expect.
  try {
    open_input(api, kClientName, true);
    in_->openVirtualPort(in_name);
    in_->setErrorCallback(&MidiLink::on_error, nullptr);
    if (api == RtMidi::UNIX_JACK) {
      jack_out_ = open_jack_output(kClientName, out_name);
      jack_send_ = &devsim::send;
      return true;
    }
    out_ = std::make_unique<RtMidiOut>(api, kClientName);
    out_->openVirtualPort(out_name);
    out_->setErrorCallback(&MidiLink::on_error, nullptr);
    return true;
  } catch (const RtMidiError& e) {
    error = e.getMessage();
  } catch (const std::exception& e) {
    error = e.what();
  }
  jack_out_.reset();
  out_.reset();
  in_.reset();
  return false;
}

inline void MidiLink::open_input(RtMidi::Api api, const std::string& client, bool ignore_timing) {
  in_ = std::make_unique<RtMidiIn>(api, client);
  in_->ignoreTypes(false, ignore_timing, ignore_timing);
  in_->setCallback(&MidiLink::on_message, this);
}

template <class Port>
unsigned MidiLink::find_port(Port& port, const std::string& part) {
  for (unsigned i = 0; i < port.getPortCount(); ++i) {
    if (port.getPortName(i).find(part) != std::string::npos) return i;
  }
  throw std::runtime_error("no MIDI port named like '" + part + "'");
}

inline void MidiLink::on_message(double, std::vector<unsigned char>* message, void* self) {
  static_cast<MidiLink*>(self)->inbox_.put(message->data(), message->size());
}

// Runtime warnings from RtMidi, as whole lines (the default would use
// std::cerr from the MIDI thread).
inline void MidiLink::on_error(RtMidiError::Type, const std::string& text, void*) {
  const std::string line = "devsim: " + text + "\n";
  std::fwrite(line.data(), 1, line.size(), stderr);
}

inline std::vector<quave::Message> MidiLink::receive(std::chrono::steady_clock::time_point until,
                                                     size_t count) {
  return inbox_.take_all(until, count);
}

}  // namespace devsim
