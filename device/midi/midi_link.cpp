#include "device/midi/midi_link.hpp"

#include "base/interrupt.hpp"
#include "device/midi/system/quiet_stderr.hpp"

namespace quave {

ChosenPort choose_port(const MidiSystem& system, MidiBackend backend, const std::string& name,
                       bool by_name) {
  ChosenPort chosen;
  chosen.backend = backend;
  chosen.name = name;
  if (backend == MidiBackend::jack) {
    chosen.jack = system.jack_server();
    chosen.pacing = pacing_for(backend, by_name, chosen.jack);
    chosen.presence = Presence::jack;
    return chosen;
  }
  chosen.pacing = pacing_for(backend, by_name);
  if (backend != MidiBackend::alsa) return chosen;
  chosen.alsa = alsa_address_of(name);
  if (!chosen.alsa) return chosen;
  chosen.presence = Presence::sequencer;
  const OutputLink link = system.output_link_of(chosen.alsa->first, chosen.alsa->second);
  if (link.room) {
    chosen.room = link.room;
    chosen.presence = Presence::card_files;
  } else if (link.card_port && chosen.pacing.bytes_per_second != 0) {
    // A card's port whose buffer cannot be read (a container hides
    // /proc/asound) may lead to anything down to a 5-pin DIN link.
    chosen.pacing.bytes_per_second = kDinBytesPerSecond;
    chosen.din_pace = true;
  }
  return chosen;
}

MidiLink::MidiLink(bool debug, const MidiSystem& system) : debug_(debug), system_(system) {
  on_interrupt(&MidiLink::wake, this);
}

MidiLink::~MidiLink() {
  on_interrupt(nullptr, nullptr);
  close_ports(in_, out_, dead_, &in_callback_);
}

bool MidiLink::take(std::unique_ptr<MidiPort>& in, std::unique_ptr<MidiPort>& out,
                    std::unique_ptr<SynthLock>& lock, ChosenPort chosen) {
  if (!in->set_callback(&MidiLink::on_message, this)) return false;
  lock_ = std::move(lock);
  chosen_ = std::move(chosen);
  in_ = std::move(in);
  out_ = std::move(out);
  return true;
}

void MidiLink::wake(void* self) { static_cast<MidiLink*>(self)->inbox_.ring(); }

void MidiLink::on_message(double, const unsigned char* message, size_t size, void* self) {
  auto* link = static_cast<MidiLink*>(self);
  if (!link || (!message && size > 0)) return;
  ++link->in_callback_;
  link->inbox_.put(message, size);
  --link->in_callback_;
}

SendEnd MidiLink::send(const Message& message, const SendWatch& watch) {
  MidiPort& out = *out_;
  const SendEnd end = send_paced(
      message.data(), message.size(), chosen_.pacing,
      [&out](const uint8_t* bytes, size_t size) { return out.send(bytes, size); },
      [&](uint64_t us) {
        // An interruption rings the inbox, which ends the pause at once.
        inbox_.sleep_until(Clock::now() + std::chrono::microseconds(us));
        return !watch.go_on || watch.go_on();
      },
      chosen_.room, watch.progress);
  if (end == SendEnd::stalled) dead_ = true;
  return end;
}

std::optional<Message> MidiLink::receive(Clock::time_point until) { return inbox_.take(until); }

int MidiLink::interruption() { return interrupt_signal(); }

std::optional<size_t> MidiLink::largest_message() {
  if (chosen_.pacing.fragment != 0 || chosen_.pacing.whole_up_to == SIZE_MAX) return std::nullopt;
  return chosen_.pacing.whole_up_to;
}

bool MidiLink::listed() {
  // A listing that fails tells nothing either way.
  QuietStderr quiet(debug_);
  unsigned count = 0;
  if (!out_->port_count(count)) return true;
  std::string name;
  for (unsigned i = 0; i < count; ++i) {
    if (out_->port_name(i, name) && name == chosen_.name) return true;
  }
  return false;
}

bool MidiLink::on_sequencer() {
  const auto has = system_.sequencer_has_port(chosen_.alsa->first, chosen_.alsa->second);
  return has ? *has : listed();
}

bool MidiLink::present() {
  bool here = true;
  switch (chosen_.presence) {
    // The files go at once on an unplug, while the port may stay for up to
    // 10 s; but a port can go while the files stay.
    case Presence::card_files: here = chosen_.room().has_value() && on_sequencer(); break;
    case Presence::sequencer: here = on_sequencer(); break;
    case Presence::jack: here = !system_.jack_server_lost() && listed(); break;
    case Presence::listing: here = listed(); break;
  }
  if (!here) dead_ = true;
  return here;
}

}  // namespace quave
