#include "cli/device_front.hpp"

#include "base/console.hpp"
#include "base/terminal.hpp"
#include "device/interrupt.hpp"
#include "display/device_display.hpp"
#include "display/identity_lines.hpp"
#include "display/link_texts.hpp"
#include "unit/identifiers.hpp"

namespace quave {

void add_device_options(po::options_description& table) {
  table.add_options()
    ("list,l", "List all available MIDI ports.")
    ("inport,i", po::value<uint16_t>(), "Input MIDI port index.")
    ("outport,o", po::value<uint16_t>(), "Output MIDI port index.")
    ("verbose,v", "Print out verbose details about each step.")
    ("debug,d", "Print out transaction details.");
}

std::optional<int32_t> read_module(const std::string& text) {
  if (auto module = module_from_name(text)) return *module;
  err_line("Error: Invalid module specifier. (" + text + ")");
  return std::nullopt;
}

bool read_port_pair(const po::variables_map& vm, DeviceSettings& settings) {
  const bool has_in = vm.count("inport") > 0;
  const bool has_out = vm.count("outport") > 0;
  if (!has_in && !has_out) return true;
  if (has_in != has_out) {
    err_line(
        "Error: Both input and output ports must be specified when using explicit MIDI port "
        "options.");
    return false;
  }
  const uint16_t in = vm["inport"].as<uint16_t>();
  const uint16_t out = vm["outport"].as<uint16_t>();
  // Only 0..127 can be opened; passing the low byte on would open another
  // port than the one named, or quietly search by name instead.
  if (in > 127 || out > 127) {
    err_line("Error: MIDI port index out of range. Use a value from 0 to 127.");
    return false;
  }
  settings.in_port = in;
  settings.out_port = out;
  return true;
}

uint32_t read_option_bits(const po::variables_map& vm) {
  uint32_t options = 0;
  if (vm.count("verbose")) options |= kOptionVerbose;
  if (vm.count("debug")) options |= kOptionDebug;
  return options;
}

ConsoleNarrator::ConsoleNarrator(uint32_t options)
    : verbose_(options & kOptionVerbose), debug_(options & kOptionDebug) {}

namespace {

// A dump's line, in one piece; an empty message has no line end.
void dump(const char* prefix, const Message& message) {
  std::string line = dump_text(prefix, message.data(), message.size());
  if (!message.empty()) line += '\n';
  out_text(line);
}

}  // namespace

void ConsoleNarrator::sent(const Message& message) {
  if (debug_) dump(">>> ", message);
}

void ConsoleNarrator::taken(const Message& message) {
  if (debug_) dump("<<< ", message);
}

void ConsoleNarrator::unrecognised_status(uint8_t status) {
  err_line(unrecognised_status_line(status));
}

void ConsoleNarrator::step(const HandshakeStep& step, const DeviceInfo& info) {
  if (!verbose_) return;
  const unsigned m = step.module;
  switch (step.kind) {
    case HandshakeStep::identified:
      out_line(device_line(platform_from_family(info.model_id[1], info.model_id[2])));
      out_line(system_version_line(info));
      break;
    case HandshakeStep::api_version: out_line(api_version_line(info)); break;
    case HandshakeStep::modules_asked: out_text("> Available modules:\n\n"); break;
    case HandshakeStep::module_answered:
      out_line(module_line(m, step.empty ? nullptr : &info.modules[m]));
      break;
    case HandshakeStep::slots_asked: out_line("> Status:"); break;
    case HandshakeStep::slot_answered:
      out_line(slot_line(m, step.slot, step.empty ? nullptr : &info.slots[m][step.slot]));
      break;
    // An empty line after the modules, before each module's slots, after
    // the slots.
    case HandshakeStep::modules_answered:
    case HandshakeStep::module_slots:
    case HandshakeStep::slots_answered:
      out_line("");
      break;
  }
}

void ConsoleNarrator::sending(size_t sent, size_t total) {
  if (!progress_) progress_ = std::make_unique<SendProgress>(total, stderr_is_terminal());
  progress_->update(sent);
  if (sent >= total) progress_.reset();
}

namespace {

// "  Available MIDI inputs:" ... "  Available MIDI ouputs:" ..., built in
// one piece; under an empty one, why no backend gives a port.
std::string port_listing(MidiLink& link) {
  const std::vector<std::string> inputs = link.input_names();
  const std::vector<std::string> outputs = link.output_names();
  std::string text = "  Available MIDI inputs:\n";
  for (size_t i = 0; i < inputs.size(); ++i) {
    text += "    in  " + std::to_string(i) + ": " + inputs[i] + "\n";
  }
  // Spelt as scripts match it; do not correct.
  text += "\n  Available MIDI ouputs:\n";
  for (size_t i = 0; i < outputs.size(); ++i) {
    text += "    out " + std::to_string(i) + ": " + outputs[i] + "\n";
  }
  if (inputs.empty() && outputs.empty()) {
    for (const std::string& problem : link.backend_problems()) text += "  " + problem + "\n";
  }
  return text;
}

}  // namespace

Connection connect_device(const DeviceSettings& settings, FrontStyle style) {
  const std::string prefix = style == FrontStyle::probe ? "" : "Error: ";
  if (style == FrontStyle::load_clear) out_line("> Handshaking...");

  catch_interrupts();
  Connection connection;
  connection.narrator = std::make_unique<ConsoleNarrator>(settings.options);
  const bool verbose = settings.options & kOptionVerbose;
  const bool debug = settings.options & kOptionDebug;
  auto link = std::make_unique<MidiLink>(debug);
  if (debug) {
    if (auto why = link->library_problem()) err_line("Could not load the MIDI library: " + *why);
  }
  if (settings.list_only) {
    out_text(port_listing(*link) + "\n");
    return connection;
  }

  const OpenReport opened = link->open(settings.in_port, settings.out_port);
  if (verbose && opened.input) {
    out_line("input: " + opened.input->text + ", port: " + std::to_string(opened.input->index));
  }
  if (verbose && opened.output) {
    out_line("output: " + opened.output->text + ", port: " + std::to_string(opened.output->index));
  }
  if (verbose && opened.fault != OpenFault::not_found) out_line("");
  if (opened.fault != OpenFault::none) {
    err_text(open_failure_text(opened.fault));
    err_line(prefix + "Quave interface connection failed.");
    err_text(port_listing(*link) + "\n");
    connection.exit_code = 1;
    return connection;
  }
  connection.din_pace = opened.din_pace;

  auto device = std::make_unique<DeviceInterface>(std::move(link), *connection.narrator);
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

}  // namespace quave
