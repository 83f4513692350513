// Port discovery and opening for DeviceInterface.
#include <boost/regex.hpp>
#include <optional>
#include <ostream>

#include "base/console.hpp"
#include "device/device_interface.hpp"
#include "device/midi_port.hpp"
#include "device/output_room.hpp"
#include "device/quiet_stderr.hpp"

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

// The default API is the first compiled backend, which may fail outright (an
// ALSA build on a machine without a sequencer) while another one works, so
// each is tried: the first with ports wins, else the first that exists.
std::unique_ptr<MidiPort> create_port(MidiDirection direction, const char* client_name,
                                      bool debug) {
  std::unique_ptr<MidiPort> first;
  for (int backend : midi_backends(debug)) {
    std::unique_ptr<MidiPort> candidate = MidiPort::create(direction, backend, client_name);
    if (!candidate) continue;
    unsigned count = 0;
    if (candidate->port_count(count) && count > 0) return candidate;
    if (!first) first = std::move(candidate);
  }
  return first;
}

std::vector<boost::regex> compile(const char* const (&patterns)[4]) {
  std::vector<boost::regex> compiled;
  for (const char* p : patterns) compiled.emplace_back(p, boost::regex::extended);
  return compiled;
}

// The lowest port whose name matches any pattern, with the matched text.
template <class NameOf>
std::optional<std::pair<unsigned, std::string>> search_ports(unsigned count, NameOf name_of,
                                                             const std::vector<boost::regex>& patterns) {
  for (unsigned i = 0; i < count; ++i) {
    const std::string name = name_of(i);
    for (const boost::regex& re : patterns) {
      boost::smatch match;
      if (boost::regex_search(name, match, re)) return std::make_pair(i, match.str(0));
    }
  }
  return std::nullopt;
}

}  // namespace

bool DeviceInterface::ensure_midi_in() {
  if (!midi_in) {
    QuietStderr quiet(options & kOptionDebug);
    midi_in = create_port(MidiDirection::input, "RtMidi Input Client", options & kOptionDebug);
  }
  return midi_in != nullptr;
}

bool DeviceInterface::ensure_midi_out() {
  if (!midi_out) {
    QuietStderr quiet(options & kOptionDebug);
    midi_out = create_port(MidiDirection::output, "RtMidi Output Client", options & kOptionDebug);
  }
  return midi_out != nullptr;
}

unsigned DeviceInterface::input_port_count() {
  if (!ensure_midi_in()) return 0;
  QuietStderr quiet(options & kOptionDebug);
  unsigned count = 0;
  return midi_in->port_count(count) ? count : 0;
}

unsigned DeviceInterface::output_port_count() {
  if (!ensure_midi_out()) return 0;
  QuietStderr quiet(options & kOptionDebug);
  unsigned count = 0;
  return midi_out->port_count(count) ? count : 0;
}

std::string DeviceInterface::input_port_name(unsigned i) {
  if (!ensure_midi_in()) return "";
  QuietStderr quiet(options & kOptionDebug);
  std::string name;
  return midi_in->port_name(i, name) ? name : "error";
}

std::string DeviceInterface::output_port_name(unsigned i) {
  if (!ensure_midi_out()) return "";
  QuietStderr quiet(options & kOptionDebug);
  std::string name;
  return midi_out->port_name(i, name) ? name : "error";
}

namespace {

// An error part-way ends the listing where it stands.
void list_ports(MidiPort& midi, const char* role, bool debug, std::ostream& out) {
  QuietStderr quiet(debug);
  unsigned count = 0;
  if (!midi.port_count(count)) return;
  std::string name;
  for (unsigned i = 0; i < count && midi.port_name(i, name); ++i) {
    out << "    " << role << i << ": " << name << '\n';
  }
}

}  // namespace

bool DeviceInterface::output_port_present() {
  if (!midi_out) return false;
  // An unplugged card's files go at once, while its port may stay listed
  // for as long as the kernel waits for the port's buffer to drain (up to
  // 10 s).
  if (output_link_.room && !output_link_.room()) return false;
  QuietStderr quiet(options & kOptionDebug);
  unsigned count = 0;
  // A listing that fails tells nothing either way.
  if (!midi_out->port_count(count)) return true;
  std::string name;
  for (unsigned i = 0; i < count; ++i) {
    if (midi_out->port_name(i, name) && name == output_port_name_) return true;
  }
  return false;
}

void DeviceInterface::list_input_ports(std::ostream& out) {
  if (ensure_midi_in()) list_ports(*midi_in, "in  ", options & kOptionDebug, out);
}

void DeviceInterface::list_output_ports(std::ostream& out) {
  if (ensure_midi_out()) list_ports(*midi_out, "out ", options & kOptionDebug, out);
}

bool DeviceInterface::open_ports(uint8_t in_port, uint8_t out_port) {
  if (state & kStatePortsOpen) return true;
  const bool verbose = options & kOptionVerbose;
  const bool debug = options & kOptionDebug;

  ports_by_name_ = (in_port & 0x80) && (out_port & 0x80);
  if (ports_by_name_) {
    static const std::vector<boost::regex> in_patterns = compile(kInputPortPatterns);
    static const std::vector<boost::regex> out_patterns = compile(kOutputPortPatterns);
    auto in = search_ports(input_port_count(), [this](unsigned i) { return input_port_name(i); },
                           in_patterns);
    if (in) {
      if (verbose) out_line("input: " + in->second + ", port: " + std::to_string(in->first));
      in_port = static_cast<uint8_t>(in->first);
    }
    auto out = search_ports(output_port_count(),
                            [this](unsigned i) { return output_port_name(i); },
                            out_patterns);
    if (out) {
      if (verbose) out_line("output: " + out->second + ", port: " + std::to_string(out->first));
      out_port = static_cast<uint8_t>(out->first);
    }
  }
  if ((in_port & 0x80) || (out_port & 0x80)) {
    err_text("Error: Could not find matching quave MIDI ports.\n\n");
    return false;
  }
  if (verbose) out_line("");

  // Some backends "open" an index that does not exist and connect to
  // nothing, so an explicit index is checked against the count first.
  bool opened = ensure_midi_in() && in_port < input_port_count();
  if (opened) {
    QuietStderr quiet(debug);
    opened = midi_in->open(in_port, "RtMidi Input") && midi_in->ignore_types(false, true, true);
  }
  if (!opened) {
    err_text("Error: Could not open quave input port.\n");
    return false;
  }

  if (!midi_in->set_callback(&DeviceInterface::on_midi_message, this)) {
    err_text("Error: Could not set callback on input port.\n");
    return false;
  }

  opened = ensure_midi_out() && out_port < output_port_count();
  if (opened) {
    QuietStderr quiet(debug);
    opened = midi_out->open(out_port, "RtMidi Output");
  }
  if (!opened) {
    err_line("Error: Could not open quave output port.");
    return false;
  }

  // A JACK connection carries data only once the server has switched to the
  // graph that holds it, at a cycle start after every client finished the
  // cycle before, so a request sent at once can vanish: beside a parallel
  // compile 25 of 300 probes lost their search request with no pause, none
  // of 300 with one 10 ms turn (almost four cycles of a 128-frame period at
  // 48 kHz). Five turns were kept while a silent server could stall a cycle
  // for two seconds; the 200 ms client time-out ended that. An ALSA
  // connection is made in the kernel at once; the one turn costs it little.
  output_port_name_ = output_port_name(out_port);
  if (midi_out->backend() == MidiBackend::alsa) output_link_ = output_link_of(output_port_name_);
  pending.device_present = [this] { return output_port_present(); };
  polling_turn();
  state |= kStatePortsOpen;
  return true;
}

}  // namespace quave
