#include "tools/devsim/transport/sim_ports.hpp"

#include <cstdio>
#include <stdexcept>

namespace devsim {

SimPorts::SimPorts(const std::string& api, const std::string& in_name,
                   const std::string& out_name, bool output_first) {
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
    if (try_open(a, in_name, out_name, output_first, error)) return;
    errors += (errors.empty() ? "" : "; ") + RtMidi::getApiName(a) + ": " + error;
  }
  throw std::runtime_error("cannot open virtual MIDI ports (" + errors + ")");
}

SimPorts::~SimPorts() {
  // Output first, so nothing leaves after the input stopped listening. On
  // JACK the output is our own client (jack_output.cpp), which stops its
  // process thread before it frees anything; RtMidi's output is only ALSA's,
  // which sends from the caller's thread.
  jack_out_.reset();
  out_.reset();
  in_.reset();
}

bool SimPorts::try_open(RtMidi::Api api, const std::string& in_name, const std::string& out_name,
                        bool output_first, std::string& error) {
  constexpr const char* kClientName = "quave-devsim";
  // Input first: on JACK the ports then read "quave-devsim:<model> SOUND" and
  // "quave-devsim-01:<model> KBD/KNOB", which port listings in tests expect.
  const auto open_in = [&] {
    in_ = std::make_unique<RtMidiIn>(api, kClientName);
    in_->ignoreTypes(false, true, true);
    in_->setCallback(&SimPorts::on_message, this);
    in_->openVirtualPort(in_name);
    in_->setErrorCallback(&SimPorts::on_error, nullptr);
  };
  const auto open_out = [&] {
    if (api == RtMidi::UNIX_JACK) {
      jack_out_ = open_jack_output(kClientName, out_name);
      return;
    }
    out_ = std::make_unique<RtMidiOut>(api, kClientName);
    out_->openVirtualPort(out_name);
    out_->setErrorCallback(&SimPorts::on_error, nullptr);
  };
  try {
    if (output_first) open_out();
    open_in();
    if (!output_first) open_out();
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

void SimPorts::on_message(double, std::vector<unsigned char>* message, void* self) {
  static_cast<SimPorts*>(self)->inbox_.put(message->data(), message->size());
}

// Runtime warnings from RtMidi, as whole lines (the default would use
// std::cerr from the MIDI thread).
void SimPorts::on_error(RtMidiError::Type, const std::string& text, void*) {
  const std::string line = "devsim: " + text + "\n";
  std::fwrite(line.data(), 1, line.size(), stderr);
}

std::vector<device_side::Message> SimPorts::receive(std::chrono::steady_clock::time_point until) {
  return inbox_.take_all(until);
}

void SimPorts::send(const device_side::Message& m) {
  if (jack_out_) {
    devsim::send(*jack_out_, m);
  } else {
    out_->sendMessage(m.data(), m.size());
  }
}

std::string SimPorts::api_name() const {
  return in_ ? RtMidi::getApiName(in_->getCurrentApi()) : "";
}

}  // namespace devsim
