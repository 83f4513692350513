#include "device/midi/midi_ports.hpp"

#include <chrono>
#include <cstdlib>
#include <thread>

#include "base/interrupt.hpp"
#include "device/midi/system/jack_watch.hpp"
#include "device/midi/system/quiet_stderr.hpp"

namespace quave {

namespace {

// The default API is the first compiled backend, which may fail outright (an
// ALSA build on a machine without a sequencer) while another one works, so
// each is tried: the first with ports wins, else the first that exists.
std::unique_ptr<MidiPort> create_port(const MidiLibrary& library, MidiDirection direction,
                                      const char* client_name) {
  std::unique_ptr<MidiPort> first;
  for (int backend : midi_backends(library)) {
    std::unique_ptr<MidiPort> candidate = MidiPort::create(library, direction, backend, client_name);
    if (!candidate) continue;
    unsigned count = 0;
    if (candidate->port_count(count) && count > 0) return candidate;
    if (!first) first = std::move(candidate);
  }
  return first;
}

unsigned count_of(MidiPort* port, bool debug) {
  QuietStderr quiet(debug);
  unsigned count = 0;
  return port && port->port_count(count) ? count : 0;
}

std::vector<std::string> names_of(MidiPort* port, bool debug) {
  std::vector<std::string> names;
  if (!port) return names;
  QuietStderr quiet(debug);
  unsigned count = 0;
  if (!port->port_count(count)) return names;
  std::string name;
  for (unsigned i = 0; i < count && port->port_name(i, name); ++i) names.push_back(name);
  return names;
}

// What another command waiting for this synthesizer finds: its system, and
// its port (the name a listing shows).
std::string lock_key(MidiBackend backend, const std::string& out_name) {
  switch (backend) {
    case MidiBackend::alsa: return "alsa " + out_name;
    case MidiBackend::jack: {
      const char* server = getenv("JACK_DEFAULT_SERVER");
      return std::string("jack ") + (server && *server ? server : "default") + " " + out_name;
    }
    case MidiBackend::other: break;
  }
  return out_name;
}

// Once the synthesizer is free: polled, so that an interruption ends the
// wait (Interrupted) and the next command goes on soon after the last.
LockTaking wait_for_synth(const std::string& key, const std::string& synth, const OpenWish& wish) {
  constexpr auto kPoll = std::chrono::milliseconds(20);
  // A holder writes its name just after it takes the lock: a waiter that
  // finds none yet looks again for a few polls before it says "another".
  constexpr int kPollsForAName = 10;
  bool told = false;
  for (int polls = 0;; ++polls) {
    LockTaking taking = SynthLock::try_take(key, wish.who);
    if (taking.lock) return taking;
    if (!told && wish.waiting && (!taking.holder.empty() || polls >= kPollsForAName)) {
      wish.waiting(taking.holder, synth);
      told = true;
    }
    if (const int signal = interrupt_signal()) throw Interrupted{signal};
    std::this_thread::sleep_for(kPoll);
  }
}

}  // namespace

MidiPorts::MidiPorts(bool debug, const MidiSystem& system)
    : debug_(debug), system_(system), link_(new MidiLink(debug, system)) {
  show_jack_messages(debug);
}

MidiPorts::~MidiPorts() { close_ports(in_, out_, false); }

MidiPort* MidiPorts::port(std::unique_ptr<MidiPort>& port, MidiDirection direction,
                          const char* client_name) {
  std::string why;
  const MidiLibrary* library = system_.library(why);
  if (!port && library) {
    QuietStderr quiet(debug_);
    port = create_port(*library, direction, client_name);
  }
  return port.get();
}

MidiPort* MidiPorts::input() { return port(in_, MidiDirection::input, "RtMidi Input Client"); }

MidiPort* MidiPorts::output() { return port(out_, MidiDirection::output, "RtMidi Output Client"); }

std::optional<std::string> MidiPorts::library_problem() {
  std::string why;
  if (system_.library(why)) return std::nullopt;
  return why;
}

std::vector<std::string> MidiPorts::input_names() { return names_of(input(), debug_); }

std::vector<std::string> MidiPorts::output_names() { return names_of(output(), debug_); }

std::vector<std::string> MidiPorts::backend_problems() {
  std::string why;
  const MidiLibrary* library = system_.library(why);
  if (!library) return {};
  QuietStderr quiet(debug_);
  return system_.backend_problems(midi_backends(*library));
}

std::vector<SynthPorts> MidiPorts::synths(const std::vector<std::string>& in_names,
                                          const std::vector<std::string>& out_names) {
  MidiPort* in = input();
  // ALSA's names tell each port's client, where a synthesizer's two live.
  return pair_synth_ports(in_names, out_names, in && in->backend() == MidiBackend::alsa);
}

MidiPorts::Opened MidiPorts::open(std::optional<unsigned> in_port,
                                  std::optional<unsigned> out_port, const OpenWish& wish) {
  Opened opened;
  OpenReport& report = opened.report;
  if (!link_) {
    report.fault = OpenFault::input;
    return opened;
  }
  MidiPort* in = input();
  MidiPort* out = output();
  const unsigned in_count = count_of(in, debug_);
  const unsigned out_count = count_of(out, debug_);
  const bool by_name = !in_port && !out_port;
  if (by_name) {
    const std::vector<std::string> in_names = names_of(in, debug_);
    const std::vector<std::string> out_names = names_of(out, debug_);
    report.synths = synths(in_names, out_names);
    if (wish.synth) {
      report.choices = named(report.synths, *wish.synth);
      if (report.choices.size() != 1) {
        report.fault = OpenFault::synth_name;
        return opened;
      }
    } else {
      report.choices = candidates(report.synths, wish.model);
    }
    if (!report.choices.empty()) {
      const SynthPorts& synth = report.choices.front();
      report.input = PortMatch{synth.in_text, synth.in_index, in_names[synth.in_index]};
      report.output = PortMatch{synth.out_text, synth.out_index, out_names[synth.out_index]};
    } else {
      // Not one synthesizer's pair: the lowest of each, as they come (the
      // outputs are searched even when no input matched).
      if (const auto found = first_of_any_model(in_names, true)) {
        report.input = PortMatch{found->second, found->first, in_names[found->first]};
      }
      if (const auto found = first_of_any_model(out_names, false)) {
        report.output = PortMatch{found->second, found->first, out_names[found->first]};
      }
    }
    if (report.input) in_port = report.input->index;
    if (report.output) out_port = report.output->index;
  } else if (wish.report_synths) {
    report.synths = synths(names_of(in, debug_), names_of(out, debug_));
  }
  if (!in_port || !out_port) {
    report.fault = OpenFault::not_found;
    return opened;
  }

  std::string name;
  if (report.output) {
    name = report.output->name;
  } else {
    QuietStderr quiet(debug_);
    if (out) out->port_name(*out_port, name);
  }
  if (out && *out_port < out_count) {
    const std::string synth = report.choices.empty() ? name : synth_name(report.choices.front());
    LockTaking taking = wait_for_synth(lock_key(out->backend(), name), synth, wish);
    lock_ = std::move(taking.lock);
    report.lock_obstacle = taking.obstacle;
    report.lock_place = taking.place;
  }

  // Some backends "open" an index that does not exist and connect to
  // nothing, so an index is checked against the count first.
  const auto open_port = [this](MidiPort* port, unsigned index, unsigned count, const char* name) {
    QuietStderr quiet(debug_);
    return port && index < count && port->open(index, name);
  };
  if (!open_port(in, *in_port, in_count, "RtMidi Input") || !in->ignore_types(false, true, true)) {
    report.fault = OpenFault::input;
    return opened;
  }
  if (!open_port(out, *out_port, out_count, "RtMidi Output")) {
    report.fault = OpenFault::output;
    return opened;
  }

  ChosenPort chosen = choose_port(system_, out->backend(), name, by_name);
  report.din_pace = chosen.din_pace;
  report.pacing = chosen.pacing;
  report.jack = chosen.jack;
  if (!link_->take(in_, out_, lock_, std::move(chosen))) {
    report.fault = OpenFault::callback;
    return opened;
  }
  // A JACK connection is in the server's graph by now
  // (device/midi/system/jack_hooks.hpp), an ALSA one is made in the kernel
  // at once: the first request may go.
  opened.link = std::move(link_);
  return opened;
}

}  // namespace quave
