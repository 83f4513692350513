#include "device/midi_link.hpp"

#include <boost/regex.hpp>
#include <algorithm>
#include <thread>

#include "device/backend_problems.hpp"
#include "device/interrupt.hpp"
#include "device/jack_watch.hpp"
#include "device/quiet_stderr.hpp"
#include "device/undrained_close.hpp"

namespace quave {

const char* const kInputPortPatterns[4] = {
    "vestrel [#0-9 ]*KBD/KNOB",
    "vest.dev [#0-9 ]*KBD/KNOB",
    "halvane[ -]rx [#0-9 ]*KBD/KNOB",
    "orvalt[ -]tonal [#0-9 ]*KBD/KNOB",
};
const char* const kOutputPortPatterns[4] = {
    "vestrel [#0-9 ]*SOUND",
    "vest.dev [#0-9 ]*SOUND",
    "halvane[ -]rx [#0-9 ]*SOUND",
    "orvalt[ -]tonal [#0-9 ]*SOUND",
};

namespace {

// After closing, a JACK process cycle that still saw the ports open gets
// this long to finish before its client closes, which cancels the thread
// wherever it stands (inside a memory allocation, the heap stays locked):
// almost four cycles of a 128-frame period at 48 kHz.
constexpr auto kJackSettle = std::chrono::milliseconds(10);
// However the callbacks go, the close goes on after this.
constexpr auto kMostCallbackWait = std::chrono::seconds(1);

// The default API is the first compiled backend, which may fail outright (an
// ALSA build on a machine without a sequencer) while another one works, so
// each is tried: the first with ports wins, else the first that exists.
std::unique_ptr<MidiPort> create_port(MidiDirection direction, const char* client_name) {
  std::unique_ptr<MidiPort> first;
  for (int backend : midi_backends()) {
    std::unique_ptr<MidiPort> candidate = MidiPort::create(direction, backend, client_name);
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

// The lowest of `count` ports whose name matches any pattern, with the
// matched text and the whole name. The names are asked one at a time and the
// search stops at the first match: on ALSA the library walks every port of
// the system for each name.
std::optional<PortMatch> search(MidiPort* port, unsigned count, const char* const (&patterns)[4],
                                bool debug) {
  if (!port) return std::nullopt;
  std::vector<boost::regex> compiled;
  for (const char* p : patterns) compiled.emplace_back(p, boost::regex::extended);
  QuietStderr quiet(debug);
  std::string name;
  for (unsigned i = 0; i < count; ++i) {
    if (!port->port_name(i, name)) continue;
    for (const boost::regex& re : compiled) {
      boost::smatch match;
      if (boost::regex_search(name, match, re)) return PortMatch{match.str(0), i, name};
    }
  }
  return std::nullopt;
}

}  // namespace

MidiLink::MidiLink(bool debug) : debug_(debug) {
  show_jack_messages(debug);
  on_interrupt(&MidiLink::wake, this);
}

MidiLink::~MidiLink() {
  on_interrupt(nullptr, nullptr);
  const bool was_open = (out_ && out_->is_open()) || (in_ && in_->is_open());
  const bool jack = (out_ && out_->backend() == MidiBackend::jack) ||
                    (in_ && in_->backend() == MidiBackend::jack);
  // Closing the output and freeing it each let go of the device's port,
  // where the kernel would wait for a dead link to drain.
  const bool undrained = dead_ && out_ && out_->backend() == MidiBackend::alsa;
  const auto let_go = [undrained](const std::function<void()>& step) {
    undrained ? close_undrained(step) : step();
  };
  if (out_) let_go([this] { out_->close(); });
  if (in_) in_->close();
  if (was_open && jack) std::this_thread::sleep_for(kJackSettle);
  const auto give_up = Clock::now() + kMostCallbackWait;
  while (in_callback_ > 0 && Clock::now() < give_up) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  let_go([this] { out_.reset(); });
  in_.reset();
}

void MidiLink::wake(void* self) { static_cast<MidiLink*>(self)->inbox_.ring(); }

void MidiLink::on_message(double, const unsigned char* message, size_t size, void* self) {
  auto* link = static_cast<MidiLink*>(self);
  if (!link || (!message && size > 0)) return;
  ++link->in_callback_;
  link->inbox_.put(message, size);
  --link->in_callback_;
}

MidiPort* MidiLink::input() {
  if (!in_) {
    QuietStderr quiet(debug_);
    in_ = create_port(MidiDirection::input, "RtMidi Input Client");
  }
  return in_.get();
}

MidiPort* MidiLink::output() {
  if (!out_) {
    QuietStderr quiet(debug_);
    out_ = create_port(MidiDirection::output, "RtMidi Output Client");
  }
  return out_.get();
}

std::optional<std::string> MidiLink::library_problem() { return midi_library_problem(); }

std::vector<std::string> MidiLink::input_names() { return names_of(input(), debug_); }

std::vector<std::string> MidiLink::output_names() { return names_of(output(), debug_); }

std::vector<std::string> MidiLink::backend_problems() {
  QuietStderr quiet(debug_);
  return quave::backend_problems(midi_backends());
}

ChosenPort MidiLink::choose(MidiPort& port, unsigned index, const std::optional<PortMatch>& found) {
  ChosenPort chosen;
  chosen.backend = port.backend();
  chosen.index = index;
  if (found) {
    chosen.name = found->name;
  } else {
    QuietStderr quiet(debug_);
    port.port_name(index, chosen.name);
  }
  if (chosen.backend == MidiBackend::alsa) chosen.alsa = alsa_address_of(chosen.name);
  return chosen;
}

OpenReport MidiLink::open(std::optional<unsigned> in_port, std::optional<unsigned> out_port) {
  OpenReport report;
  if (open_) return report;
  MidiPort* in = input();
  MidiPort* out = output();
  const unsigned in_count = count_of(in, debug_);
  const unsigned out_count = count_of(out, debug_);
  by_name_ = !in_port && !out_port;
  if (by_name_) {
    // The outputs are searched even when no input matched.
    report.input = search(in, in_count, kInputPortPatterns, debug_);
    report.output = search(out, out_count, kOutputPortPatterns, debug_);
    if (report.input) in_port = report.input->index;
    if (report.output) out_port = report.output->index;
  }
  if (!in_port || !out_port) {
    report.fault = OpenFault::not_found;
    return report;
  }

  // Some backends "open" an index that does not exist and connect to
  // nothing, so an index is checked against the count first.
  bool opened = in && *in_port < in_count;
  if (opened) {
    QuietStderr quiet(debug_);
    opened = in->open(*in_port, "RtMidi Input") && in->ignore_types(false, true, true);
  }
  if (!opened) {
    report.fault = OpenFault::input;
    return report;
  }
  if (!in->set_callback(&MidiLink::on_message, this)) {
    report.fault = OpenFault::callback;
    return report;
  }
  opened = out && *out_port < out_count;
  if (opened) {
    QuietStderr quiet(debug_);
    opened = out->open(*out_port, "RtMidi Output");
  }
  if (!opened) {
    report.fault = OpenFault::output;
    return report;
  }

  chosen_out_ = choose(*out, *out_port, report.output);
  if (chosen_out_.alsa) output_link_ = output_link_of(chosen_out_.alsa->first, chosen_out_.alsa->second);
  const Pacing pacing = pacing_for(chosen_out_.backend, by_name_);
  report.din_pace = output_link_.card_port && !output_link_.room && pacing.bytes_per_second != 0;
  // A JACK connection is in the server's graph by now (device/jack_hooks.hpp),
  // an ALSA one is made in the kernel at once: the first request may go.
  open_ = true;
  return report;
}

SendEnd MidiLink::send(const Message& message, const std::function<void(size_t)>& progress) {
  if (!open_) return SendEnd::failed;
  MidiPort& out = *out_;
  Pacing pacing = pacing_for(chosen_out_.backend, by_name_);
  // A card's port whose buffer cannot be read (a container hides
  // /proc/asound) may lead to anything down to a 5-pin DIN link.
  if (output_link_.card_port && !output_link_.room && pacing.bytes_per_second != 0) {
    pacing.bytes_per_second = kDinBytesPerSecond;
  }
  // Thrown out of a pause when the device's port went away.
  struct Gone {};
  Clock::time_point asked = Clock::now();
  SendEnd end = SendEnd::sent;
  try {
    end = send_paced(
        message.data(), message.size(), pacing,
        [&out](const uint8_t* bytes, size_t size) { return out.send(bytes, size); },
        [&](uint64_t us) {
          // A slow link's pauses add up to seconds: a signal still ends
          // them, and so does the device going away.
          inbox_.sleep_until(Clock::now() + std::chrono::microseconds(us));
          throw_if_interrupted();
          if (Clock::now() - asked < std::chrono::milliseconds(100)) return;
          asked = Clock::now();
          if (!present()) throw Gone{};
        },
        output_link_.room, progress);
  } catch (const Gone&) {
    return SendEnd::gone;
  }
  if (end == SendEnd::failed && !present()) return SendEnd::gone;
  if (end == SendEnd::stalled) dead_ = true;
  return end;
}

std::optional<Message> MidiLink::receive(Clock::time_point until) { return inbox_.take(until); }

int MidiLink::interruption() { return interrupt_signal(); }

bool MidiLink::present() {
  if (!open_) return false;
  bool here = true;
  if (chosen_out_.backend == MidiBackend::jack && jack_server_lost()) {
    here = false;
  } else if (output_link_.room && !output_link_.room()) {
    // An unplugged card's files go at once, while its port may stay listed
    // for as long as the kernel waits for the port's buffer to drain (up to
    // 10 s).
    here = false;
  } else if (const auto has = chosen_out_.alsa ? sequencer_has_port(chosen_out_.alsa->first,
                                                                    chosen_out_.alsa->second)
                                               : std::nullopt) {
    here = *has;
  } else {
    // A listing that fails tells nothing either way.
    QuietStderr quiet(debug_);
    unsigned count = 0;
    if (out_->port_count(count)) {
      std::string name;
      here = false;
      for (unsigned i = 0; i < count && !here; ++i) {
        here = out_->port_name(i, name) && name == chosen_out_.name;
      }
    }
  }
  if (!here) dead_ = true;
  return here;
}

}  // namespace quave
