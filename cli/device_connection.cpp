#include "cli/device_connection.hpp"

#include <algorithm>
#include <functional>

#include "base/console.hpp"
#include "base/interrupt.hpp"
#include "device/midi/midi_ports.hpp"
#include "display/link_texts.hpp"

namespace quave {

const char* const kMidiLibraryMissing =
    "Error: The MIDI library is missing: install RtMidi 5 or later (librtmidi7 or librtmidi6 "
    "on Debian and Ubuntu, rtmidi on Fedora and Arch).";

namespace {

// A port's name as another user's program chose it: every control
// character (C0, DEL, C1 in UTF-8) and every byte that is not UTF-8 shown as
// "?", so that it cannot move the cursor or retitle the terminal.
std::string shown_name(const std::string& name) {
  std::string shown;
  for (size_t i = 0; i < name.size();) {
    const unsigned char c = static_cast<unsigned char>(name[i]);
    size_t length = c < 0x80 ? 1 : c >= 0xc2 && c <= 0xdf ? 2 : c >= 0xe0 && c <= 0xef ? 3
                                : c >= 0xf0 && c <= 0xf4 ? 4 : 0;
    bool whole = length != 0 && i + length <= name.size();
    for (size_t k = 1; whole && k < length; ++k) whole = (name[i + k] & 0xc0) == 0x80;
    const bool control = c < 0x20 || c == 0x7f ||
                         (c == 0xc2 && whole && static_cast<unsigned char>(name[i + 1]) < 0xa0);
    if (!whole || control) {
      shown += '?';
      i += whole ? length : 1;
    } else {
      shown.append(name, i, length);
      i += length;
    }
  }
  return shown;
}

// Under -l, where there is a choice: the name that picks each synthesizer
// with -n, beside its ports.
std::string synth_block(const std::vector<SynthPorts>& synths) {
  if (synths.size() < 2) return "";
  std::string text = "\n  Synthesizers:\n";
  for (const SynthPorts& synth : synths) {
    text += "    " + synth_name(synth) + ": -i " + std::to_string(synth.in_index) + " -o " +
            std::to_string(synth.out_index) + "\n";
  }
  return text;
}

// "  Available MIDI inputs:" ... "  Available MIDI ouputs:" ..., built in
// one piece; under an empty one, why no backend gives a port. `-l` also
// names the synthesizers where there is a choice.
std::string port_listing(MidiPorts& ports, bool name_synths = false) {
  const std::vector<std::string> inputs = ports.input_names();
  const std::vector<std::string> outputs = ports.output_names();
  std::string text = "  Available MIDI inputs:\n";
  for (size_t i = 0; i < inputs.size(); ++i) {
    text += "    in  " + std::to_string(i) + ": " + shown_name(inputs[i]) + "\n";
  }
  // Spelt as scripts match it; do not correct.
  text += "\n  Available MIDI ouputs:\n";
  for (size_t i = 0; i < outputs.size(); ++i) {
    text += "    out " + std::to_string(i) + ": " + shown_name(outputs[i]) + "\n";
  }
  if (inputs.empty() && outputs.empty()) {
    for (const std::string& problem : ports.backend_problems()) text += "  " + problem + "\n";
  }
  if (name_synths) text += synth_block(ports.synths(inputs, outputs));
  return text;
}

// Debugging names the JACK server and what it carries.
void show_jack_server(const OpenReport& report) {
  if (!report.jack) return;
  err_line("JACK server: " + report.jack->name + ", largest event " +
           std::to_string(report.jack->largest_event) + " bytes: a message goes whole up to " +
           std::to_string(report.pacing.whole_up_to) + " bytes, a longer one " +
           (report.pacing.fragment != 0 ? "in fragments." : "not at all."));
}

// "a", "a and b", "a, b and c".
std::string spoken_list(const std::vector<std::string>& items) {
  std::string text;
  for (size_t i = 0; i < items.size(); ++i) {
    if (i > 0) text += i + 1 == items.size() ? " and " : ", ";
    text += items[i];
  }
  return text;
}

// With several synthesizers to choose from, which one goes, and how to name
// another: one line.
void tell_choices(const std::vector<SynthPorts>& choices) {
  if (choices.size() < 2) return;
  std::vector<std::string> found;
  for (const SynthPorts& synth : choices) {
    found.push_back(synth_name(synth) + " (-i " + std::to_string(synth.in_index) + " -o " +
                    std::to_string(synth.out_index) + ")");
  }
  err_line("Note: " + std::to_string(choices.size()) + " synthesizers found: " +
           spoken_list(found) +
           "; this command uses the first. To use another, give its ports with -i and -o.");
}

// What stood at the synthesizer's lock's place, in the words of the
// warning's line.
const char* obstacle_text(LockObstacle obstacle) {
  switch (obstacle) {
    case LockObstacle::link: return "a symbolic link";
    case LockObstacle::hard_link: return "a hard link";
    case LockObstacle::folder: return "a folder";
    case LockObstacle::fifo: return "a FIFO";
    case LockObstacle::unreadable: return "a file this user cannot read";
    case LockObstacle::other:
    case LockObstacle::none: break;
  }
  return "something other than a plain file";
}

// One line: the path (made of a file name's safe characters) and what is
// there; the command goes on, unlocked.
void tell_lock_obstacle(const OpenReport& report) {
  if (report.lock_obstacle == LockObstacle::none) return;
  err_line("Warning: " + report.lock_place + " is " + obstacle_text(report.lock_obstacle) +
           ", not a lock of this program: it is left alone, and this command goes on without "
           "locking the synthesizer.");
}

// No synthesizer of the name asked for, or several.
void tell_synth_name_fault(const std::string& name, const OpenReport& report) {
  if (report.choices.size() > 1) {
    std::vector<std::string> ports;
    for (const SynthPorts& synth : report.choices) {
      ports.push_back("-i " + std::to_string(synth.in_index) + " -o " +
                      std::to_string(synth.out_index));
    }
    err_line("Error: " + std::to_string(report.choices.size()) + " synthesizers are named \"" +
             name + "\" (" + spoken_list(ports) + "); give the ports of one with -i and -o.");
    return;
  }
  std::vector<std::string> names;
  for (const SynthPorts& synth : report.synths) names.push_back("\"" + synth_name(synth) + "\"");
  err_line("Error: No synthesizer is named \"" + name + "\"; " +
           (names.empty() ? "none was found." : "found " + spoken_list(names) + "."));
}

Json ports_json(const std::vector<std::string>& names) {
  Json list = Json::array();
  for (size_t i = 0; i < names.size(); ++i) {
    list.push(Json::object().set("index", Json::number(static_cast<int64_t>(i)))
                  .set("name", Json::string(names[i])));
  }
  return list;
}

// The listing's facts: each port with its index, the synthesizers, and why
// no backend gives a port when none does.
Json listing_json(MidiPorts& ports) {
  const std::vector<std::string> inputs = ports.input_names();
  const std::vector<std::string> outputs = ports.output_names();
  Json problems = Json::array();
  if (inputs.empty() && outputs.empty()) {
    for (const std::string& problem : ports.backend_problems()) problems.push(Json::string(problem));
  }
  return Json::object()
      .set("inputs", ports_json(inputs))
      .set("outputs", ports_json(outputs))
      .set("synthesizers", synths_json(ports.synths(inputs, outputs)))
      .set("problems", std::move(problems));
}

void show_match(const std::function<void(const std::string&)>& say, const char* role,
                const std::optional<PortMatch>& match) {
  if (match) say(role + match->text + ", port: " + std::to_string(match->index));
}

}  // namespace

Connection connect_device(const DeviceOptions& options, FrontStyle style, const char* command,
                          std::optional<PlatformId> model) {
  Connection connection;
  // Said before anything else: no listing or search can help, and the line
  // tells what to install.
  if (midi_library_missing()) {
    err_line(kMidiLibraryMissing);
    connection.exit_code = 1;
    return connection;
  }
  const std::string prefix = style == FrontStyle::probe ? "" : "Error: ";
  if (style == FrontStyle::load_clear) out_line("> Handshaking...");

  catch_interrupts();
  connection.narrator =
      std::make_unique<ConsoleNarrator>(options.verbose, options.debug, options.json);
  const std::function<void(const std::string&)> say = [&options](const std::string& line) {
    if (options.json) {
      err_line(line);
    } else {
      out_line(line);
    }
  };
  MidiPorts ports(options.debug);
  if (options.debug) {
    if (auto why = ports.library_problem()) err_line("Could not load the MIDI library: " + *why);
  }
  if (options.list_only) {
    if (options.json) {
      out_text(listing_json(ports).text());
    } else {
      out_text(port_listing(ports, true) + "\n");
    }
    return connection;
  }

  std::optional<unsigned> in_port;
  std::optional<unsigned> out_port;
  if (options.ports) {
    in_port = options.ports->in;
    out_port = options.ports->out;
  }
  OpenWish wish;
  wish.model = model;
  wish.synth = options.synth;
  wish.report_synths = options.json;
  wish.who = std::string("quave-cli ") + command;
  wish.waiting = [](const std::string& holder, const std::string& synth) {
    err_line("Waiting for " + synth + ": " + (holder.empty() ? "another command" : holder) +
             " is using it. Ctrl-C stops the wait.");
  };
  MidiPorts::Opened opened = ports.open(in_port, out_port, wish);
  if (opened.report.fault == OpenFault::synth_name) {
    tell_synth_name_fault(*options.synth, opened.report);
    connection.exit_code = 1;
    return connection;
  }
  tell_lock_obstacle(opened.report);
  tell_choices(opened.report.choices);
  if (options.debug) show_jack_server(opened.report);
  if (options.verbose) {
    show_match(say, "input: ", opened.report.input);
    show_match(say, "output: ", opened.report.output);
    if (opened.report.fault != OpenFault::not_found) say("");
  }
  if (opened.report.fault != OpenFault::none) {
    err_text(open_failure_text(opened.report.fault));
    err_line(prefix + "Quave interface connection failed.");
    err_text(port_listing(ports) + "\n");
    connection.exit_code = 1;
    return connection;
  }
  connection.din_pace = opened.report.din_pace;
  if (options.ports) connection.ports = *options.ports;
  if (opened.report.input) connection.ports.in = opened.report.input->index;
  if (opened.report.output) connection.ports.out = opened.report.output->index;
  if (!opened.report.choices.empty()) connection.synth = synth_name(opened.report.choices.front());
  connection.synths = opened.report.synths;

  auto device = std::make_unique<DeviceInterface>(std::move(opened.link), *connection.narrator);
  const Outcome outcome = device->handshake();
  if (!outcome.ok()) {
    report_failure(outcome, prefix + "Quave handshake failed.");
    connection.exit_code = 1;
    return connection;
  }
  connection.device = std::move(device);
  return connection;
}

void report_failure(const Outcome& outcome, const std::string& command_line) {
  const std::string line = failure_line(outcome);
  if (!line.empty()) err_line(line);
  err_line(command_line);
}

bool slot_exists(const DeviceInfo& info, ModuleId module, unsigned slot) {
  const unsigned count = std::min(unsigned{info.modules[module].slot_count()}, kNameableSlots);
  if (slot < count) return true;
  err_line("Error: Slot index too large. Only " + std::to_string(count) + " slots available.");
  return false;
}

Json synths_json(const std::vector<SynthPorts>& synths) {
  Json list = Json::array();
  for (const SynthPorts& synth : synths) {
    list.push(Json::object()
                  .set("name", Json::string(synth_name(synth)))
                  .set("in", Json::number(synth.in_index))
                  .set("out", Json::number(synth.out_index)));
  }
  return list;
}

}  // namespace quave
