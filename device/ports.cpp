// Port discovery and opening for DeviceInterface.
#include <RtMidi.h>

#include <boost/regex.hpp>
#include <optional>
#include <ostream>

#include "device/console.hpp"
#include "device/device_interface.hpp"
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
template <class Port>
std::unique_ptr<Port> create_port_object(const char* client_name) {
  std::vector<RtMidi::Api> apis;
  RtMidi::getCompiledApi(apis);
  std::unique_ptr<Port> first;
  for (RtMidi::Api api : apis) {
    std::unique_ptr<Port> candidate;
    try {
      candidate = std::make_unique<Port>(api, client_name);
    } catch (const RtMidiError&) {
      continue;
    }
    unsigned count = 0;
    try {
      count = candidate->getPortCount();
    } catch (const RtMidiError&) {
    }
    if (count > 0) return candidate;
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
    midi_in = create_port_object<RtMidiIn>("RtMidi Input Client");
  }
  return midi_in != nullptr;
}

bool DeviceInterface::ensure_midi_out() {
  if (!midi_out) {
    QuietStderr quiet(options & kOptionDebug);
    midi_out = create_port_object<RtMidiOut>("RtMidi Output Client");
  }
  return midi_out != nullptr;
}

unsigned DeviceInterface::input_port_count() {
  if (!ensure_midi_in()) return 0;
  QuietStderr quiet(options & kOptionDebug);
  try {
    return midi_in->getPortCount();
  } catch (const RtMidiError&) {
    return 0;
  }
}

unsigned DeviceInterface::output_port_count() {
  if (!ensure_midi_out()) return 0;
  QuietStderr quiet(options & kOptionDebug);
  try {
    return midi_out->getPortCount();
  } catch (const RtMidiError&) {
    return 0;
  }
}

std::string DeviceInterface::input_port_name(unsigned i) {
  if (!ensure_midi_in()) return "";
  QuietStderr quiet(options & kOptionDebug);
  try {
    return midi_in->getPortName(i);
  } catch (const RtMidiError&) {
    return "error";
  }
}

std::string DeviceInterface::output_port_name(unsigned i) {
  if (!ensure_midi_out()) return "";
  QuietStderr quiet(options & kOptionDebug);
  try {
    return midi_out->getPortName(i);
  } catch (const RtMidiError&) {
    return "error";
  }
}

namespace {

// An error part-way ends the listing where it stands.
void list_ports(RtMidi& midi, const char* role, bool debug, std::ostream& out) {
  QuietStderr quiet(debug);
  try {
    const unsigned count = midi.getPortCount();
    for (unsigned i = 0; i < count; ++i) {
      out << "    " << role << i << ": " << midi.getPortName(i) << '\n';
    }
  } catch (const RtMidiError&) {
  }
}

}  // namespace

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

  if ((in_port & 0x80) && (out_port & 0x80)) {
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
    try {
      midi_in->openPort(in_port, "RtMidi Input");
      midi_in->ignoreTypes(false, true, true);
    } catch (const RtMidiError&) {
      opened = false;
    }
  }
  if (!opened) {
    err_text("Error: Could not open quave input port.\n");
    return false;
  }

  bool callback_set = midi_in != nullptr;
  if (callback_set) {
    try {
      midi_in->setCallback(&DeviceInterface::on_midi_message, this);
    } catch (const RtMidiError&) {
      callback_set = false;
    }
  }
  if (!callback_set) {
    err_text("Error: Could not set callback on input port.\n");
    return false;
  }

  opened = ensure_midi_out() && out_port < output_port_count();
  if (opened) {
    QuietStderr quiet(debug);
    try {
      midi_out->openPort(out_port, "RtMidi Output");
    } catch (const RtMidiError&) {
      opened = false;
    }
  }
  if (!opened) {
    err_line("Error: Could not open quave output port.");
    return false;
  }

  // A JACK connection carries data only from the server's next cycle on; a
  // request sent at once was seen to vanish now and then (about 1 in 130
  // runs against the simulator), so one turn passes first.
  pause_10ms();
  info.input_port = in_port;
  info.output_port = out_port;
  state |= kStatePortsOpen;
  return true;
}

}  // namespace quave
