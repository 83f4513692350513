#include "device/midi/midi_ports.hpp"

#include <boost/regex.hpp>

#include "device/midi/system/jack_watch.hpp"
#include "device/midi/system/quiet_stderr.hpp"
#include "unit/models.hpp"

namespace quave {

namespace {

// A model's port name, an instance number a system may add, then the
// port's role: searched anywhere in a port's name, the models' names in
// table order.
std::vector<boost::regex> port_patterns(const char* role) {
  std::vector<boost::regex> patterns;
  for (const Model& model : kModels) {
    for (const char* name : model.port_names) {
      if (name) patterns.emplace_back(std::string(name) + " [#0-9 ]*" + role, boost::regex::extended);
    }
  }
  return patterns;
}

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

// The lowest of `count` ports whose name matches any pattern, with the
// matched text and the whole name. The names are asked one at a time and the
// search stops at the first match: on ALSA the library walks every port of
// the system for each name.
std::optional<PortMatch> search(MidiPort* port, unsigned count, const char* role, bool debug) {
  if (!port) return std::nullopt;
  const std::vector<boost::regex> compiled = port_patterns(role);
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

MidiPorts::Opened MidiPorts::open(std::optional<unsigned> in_port,
                                  std::optional<unsigned> out_port) {
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
    // The outputs are searched even when no input matched.
    report.input = search(in, in_count, "KBD/KNOB", debug_);
    report.output = search(out, out_count, "SOUND", debug_);
    if (report.input) in_port = report.input->index;
    if (report.output) out_port = report.output->index;
  }
  if (!in_port || !out_port) {
    report.fault = OpenFault::not_found;
    return opened;
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

  std::string name;
  if (report.output) {
    name = report.output->name;
  } else {
    QuietStderr quiet(debug_);
    out->port_name(*out_port, name);
  }
  ChosenPort chosen = choose_port(system_, out->backend(), name, by_name);
  report.din_pace = chosen.din_pace;
  report.pacing = chosen.pacing;
  report.jack = chosen.jack;
  if (!link_->take(in_, out_, std::move(chosen))) {
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
