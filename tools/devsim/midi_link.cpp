#include "tools/devsim/midi_link.hpp"

#include <cstdio>
#include <stdexcept>
#include <thread>

namespace devsim {

namespace {

constexpr const char* kClientName = "quave-devsim";

// Runtime warnings from RtMidi, as whole lines (the default would use
// std::cerr from the MIDI thread).
void on_error(RtMidiError::Type, const std::string& text, void*) {
  const std::string line = "devsim: " + text + "\n";
  std::fwrite(line.data(), 1, line.size(), stderr);
}

}  // namespace

MidiLink::MidiLink(const std::string& api, const std::string& in_name,
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

MidiLink::~MidiLink() {
  // RtMidi's JACK output frees its ring buffer before its process thread
  // stops; unregistering the port and letting a few cycles pass keeps that
  // thread off the buffer (seen as a crash at shutdown). A virtual port does
  // not count as open, so it is closed unconditionally.
  if (out_) {
    out_->closePort();
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  // Output first, so no reply leaves after the input stopped listening.
  out_.reset();
  in_.reset();
}

bool MidiLink::try_open(RtMidi::Api api, const std::string& in_name, const std::string& out_name,
                        std::string& error) {
  // Input first: on JACK the ports then read "quave-devsim:<model> SOUND" and
  // "quave-devsim-01:<model> KBD/KNOB", which port listings in tests expect.
  try {
    in_ = std::make_unique<RtMidiIn>(api, kClientName);
    in_->ignoreTypes(false, true, true);
    in_->setCallback(&MidiLink::on_message, this);
    in_->openVirtualPort(in_name);
    out_ = std::make_unique<RtMidiOut>(api, kClientName);
    out_->openVirtualPort(out_name);
    in_->setErrorCallback(&on_error, nullptr);
    out_->setErrorCallback(&on_error, nullptr);
    return true;
  } catch (const RtMidiError& e) {
    error = e.getMessage();
  } catch (const std::exception& e) {
    error = e.what();
  }
  out_.reset();
  in_.reset();
  return false;
}

void MidiLink::on_message(double, std::vector<unsigned char>* message, void* self) {
  auto* link = static_cast<MidiLink*>(self);
  {
    std::lock_guard<std::mutex> lock(link->mutex_);
    link->inbox_.emplace_back(message->begin(), message->end());
  }
  link->arrived_.notify_one();
}

std::vector<quave::Message> MidiLink::receive(std::chrono::steady_clock::time_point until) {
  std::unique_lock<std::mutex> lock(mutex_);
  arrived_.wait_until(lock, until, [this] { return !inbox_.empty(); });
  std::vector<quave::Message> out(std::make_move_iterator(inbox_.begin()),
                                  std::make_move_iterator(inbox_.end()));
  inbox_.clear();
  return out;
}

void MidiLink::send(const quave::Message& m) { out_->sendMessage(m.data(), m.size()); }

std::string MidiLink::api_name() const {
  return in_ ? RtMidi::getApiName(in_->getCurrentApi()) : "";
}

}  // namespace devsim
