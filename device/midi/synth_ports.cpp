#include "device/midi/synth_ports.hpp"

#include <boost/regex.hpp>

#include "unit/models.hpp"

namespace quave {

namespace {

struct Seen {
  PlatformId platform = 0;
  std::string instance;
  std::string client;
  std::string text;
};

struct Pattern {
  PlatformId platform;
  boost::regex re;
};

// A model's port name, an instance number a system may add, then the role,
// anywhere in the name; the models' names in table order.
std::vector<Pattern> patterns(const char* role) {
  std::vector<Pattern> list;
  for (const Model& model : kModels) {
    for (const char* port_name : model.port_names) {
      if (port_name) {
        list.push_back({model.id, boost::regex(std::string("(") + port_name + ")([#0-9 ]*)" + role,
                                               boost::regex::extended)});
      }
    }
  }
  return list;
}

std::optional<Seen> seen_in(const std::string& name, const std::vector<Pattern>& list) {
  // Windows numbers a second device of one name in front ("2- vestrel SOUND").
  static const boost::regex windows_number("^([0-9]+)- ");
  static const boost::regex sequencer_address(" ([0-9]+):[0-9]+$");
  for (const Pattern& pattern : list) {
    boost::smatch match;
    if (!boost::regex_search(name, match, pattern.re)) continue;
    Seen seen;
    seen.platform = pattern.platform;
    seen.text = match.str(0);
    boost::smatch number;
    if (boost::regex_search(name, number, windows_number)) seen.instance = number.str(1);
    for (char c : match.str(2)) {
      if (c != ' ') seen.instance += c;
    }
    boost::smatch address;
    if (boost::regex_search(name, address, sequencer_address)) seen.client = address.str(1);
    return seen;
  }
  return std::nullopt;
}

}  // namespace

std::vector<SynthPorts> pair_synth_ports(const std::vector<std::string>& inputs,
                                         const std::vector<std::string>& outputs,
                                         bool same_client) {
  const std::vector<Pattern> sound = patterns("SOUND");
  const std::vector<Pattern> knobs = patterns("KBD/KNOB");
  std::vector<std::optional<Seen>> outs;
  outs.reserve(outputs.size());
  for (const std::string& name : outputs) outs.push_back(seen_in(name, sound));
  std::vector<std::optional<Seen>> ins;
  ins.reserve(inputs.size());
  for (const std::string& name : inputs) ins.push_back(seen_in(name, knobs));
  std::vector<std::optional<SynthPorts>> paired(inputs.size());
  // First the pairs within one client, where the system names clients:
  // two synthesizers of one model differ there, if nowhere else. Then the
  // rest by model and instance alone (a program's ports may be two clients).
  for (const bool within_client : {true, false}) {
    if (within_client && !same_client) continue;
    for (unsigned i = 0; i < ins.size(); ++i) {
      const std::optional<Seen>& in = ins[i];
      if (!in || paired[i]) continue;
      for (unsigned o = 0; o < outs.size(); ++o) {
        std::optional<Seen>& out = outs[o];
        if (!out || out->platform != in->platform || out->instance != in->instance) continue;
        if (within_client && (in->client.empty() || out->client != in->client)) continue;
        paired[i] = SynthPorts{in->platform, in->instance, i, o, in->text, out->text};
        out.reset();  // taken
        break;
      }
    }
  }
  std::vector<SynthPorts> synths;
  for (const std::optional<SynthPorts>& synth : paired) {
    if (synth) synths.push_back(*synth);
  }
  return synths;
}

std::optional<std::pair<unsigned, std::string>> first_of_any_model(
    const std::vector<std::string>& names, bool inputs) {
  const std::vector<Pattern> list = patterns(inputs ? "KBD/KNOB" : "SOUND");
  for (unsigned i = 0; i < names.size(); ++i) {
    if (const std::optional<Seen> seen = seen_in(names[i], list)) return std::make_pair(i, seen->text);
  }
  return std::nullopt;
}

std::vector<SynthPorts> candidates(const std::vector<SynthPorts>& synths,
                                   std::optional<PlatformId> wanted) {
  std::vector<SynthPorts> of_model;
  for (const SynthPorts& synth : synths) {
    if (wanted && synth.platform == *wanted) of_model.push_back(synth);
  }
  return of_model.empty() ? synths : of_model;
}

std::string synth_name(const SynthPorts& synth) {
  std::string name = platform_display_device(synth.platform);
  if (!synth.instance.empty()) name += " " + synth.instance;
  return name;
}

std::vector<SynthPorts> named(const std::vector<SynthPorts>& synths, const std::string& name) {
  std::vector<SynthPorts> found;
  for (const SynthPorts& synth : synths) {
    if (synth_name(synth) == name) found.push_back(synth);
  }
  return found;
}

}  // namespace quave
