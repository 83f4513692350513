#include "tools/devsim/cli/options.hpp"

#include <boost/program_options.hpp>
#include <sstream>
#include <stdexcept>

#include "tools/devsim/cli/option_values.hpp"
#include "tools/devsim/cli/unit_preload.hpp"
#include "unit/models.hpp"

namespace po = boost::program_options;

namespace devsim {

namespace {

using Strings = std::vector<std::string>;

const KindSet kLoadsAndClears = parse_kinds("load,clear");

po::options_description device_options() {
  po::options_description d("Device");
  d.add_options()
      ("platform", po::value<std::string>()->default_value("vestrel"),
       "vestrel, halvane-rx or orvalt-tonal")
      ("channel", po::value<std::string>()->default_value("0"), "MIDI channel, 0 to 15")
      ("system-version", po::value<std::string>()->default_value("1.10"), "MAJOR.MINOR")
      ("api-version", po::value<std::string>()->default_value("1.1-0"), "MAJOR.MINOR-PATCH")
      ("slots", po::value<Strings>()->composing(), "MODULE:COUNT (0 to 127)")
      ("max-payload", po::value<Strings>()->composing(), "MODULE:BYTES, largest image accepted")
      ("max-load", po::value<Strings>()->composing(), "MODULE:BYTES, reported only")
      ("no-info", po::value<Strings>()->composing(), "MODULE answers its info request without data")
      ("preload", po::value<Strings>()->composing(),
       "MODULE:SLOT:NAME[:DEV_ID[:UNIT_ID[:VERSION]]] unit in a slot at start")
      ("preload-unit", po::value<Strings>()->composing(),
       "SLOT:PATH unit package in a slot of its module at start")
      ("strict-channel", po::bool_switch(),
       "refuse requests whose byte 2 lacks the channel (clears and loads carry 0x30)");
  return d;
}

po::options_description fault_options() {
  po::options_description d(
      "Faults (KINDS: all, or a comma list of search, api, module-info, slot-status,\n"
      "slot-clear, module-clear, clear, load)");
  d.add_options()
      ("silent", po::value<Strings>()->composing(), "KINDS: never answer, do nothing")
      ("delay", po::value<Strings>()->composing(), "[KINDS:]MS answer late")
      ("api-platform", po::value<std::string>(), "N: platform byte of the API reply")
      ("wrong-module", po::value<Strings>()->composing(), "KINDS: reply names the next module")
      ("wrong-slot", po::value<Strings>()->composing(), "KINDS: reply names the next slot")
      ("status", po::value<Strings>()->composing(),
       "[KINDS:]BYTE answer loads/clears with this status, change nothing")
      ("realtime", po::value<Strings>()->composing(), "KINDS: 0xF8/0xFE inside replies")
      ("noise", po::value<Strings>()->composing(), "KINDS: unrelated messages before replies")
      ("twice", po::value<Strings>()->composing(), "KINDS: send every reply two times")
      ("truncate", po::value<Strings>()->composing(), "[KINDS:]N drop N bytes before the end byte")
      ("overlong", po::value<Strings>()->composing(), "[KINDS:]N add N zero bytes before the end byte")
      ("flood", po::value<Strings>()->composing(),
       "[KINDS:]N N unrelated messages before each reply, spread over N/20 ms");
  return d;
}

po::options_description process_options() {
  po::options_description d("Process");
  d.add_options()
      ("help,h", "this text")
      ("api", po::value<std::string>(), "alsa or jack (default: the first that works)")
      ("rawmidi", po::value<std::string>(),
       "DEVICE: be the device behind a kernel port, over this rawmidi device")
      ("usb-gadget", po::value<std::string>(),
       "CONTROLLER: be a USB-MIDI device on this gadgetfs controller file (such as\n"
       "/dev/gadget/dummy_udc)")
      ("drain", po::value<std::string>(),
       "BYTES/S: read the rawmidi device or the USB endpoint no faster (3125 is 5-pin\n"
       "DIN; default 0: no limit)")
      ("stop-reading", po::value<std::string>(),
       "BYTES: the USB device stops reading its endpoint after this many bytes and\n"
       "stays attached")
      ("port-tag", po::value<std::string>(), "TEXT after the model name in the port names")
      ("output-first", po::bool_switch(), "make the output port before the input")
      ("log", po::value<std::string>(), "FILE: every message received, one hex line each")
      ("verbose,v", po::bool_switch(), "show traffic on standard output")
      ("ready", po::bool_switch(), "print a ready line with the port names once open");
  return d;
}

const Strings& list(const po::variables_map& vm, const char* name) {
  static const Strings none;
  return vm.count(name) ? vm[name].as<Strings>() : none;
}

template <typename Apply>
void for_kinds(KindSet kinds, SimConfig& config, Apply apply) {
  for (size_t k = 0; k < kKindCount; ++k) {
    if (kinds.test(k)) apply(config.faults[k]);
  }
}

void apply_device(const po::variables_map& vm, CommandLine& cl) {
  SimConfig& c = cl.config;
  const auto platform = quave::platform_from_name(vm["platform"].as<std::string>());
  if (!platform) throw std::invalid_argument("--platform must be vestrel, halvane-rx or orvalt-tonal");
  c.platform = *platform;
  c.channel = static_cast<uint8_t>(parse_number(vm["channel"].as<std::string>(), 0, 15, "--channel"));
  if (c.channel > 7) cl.warnings.push_back("the program reads only 3 bits of the search reply's channel");
  std::tie(c.system_major, c.system_minor) = parse_system_version(vm["system-version"].as<std::string>());
  const auto api = parse_api_version(vm["api-version"].as<std::string>());
  c.api_major = api[0];
  c.api_minor = api[1];
  c.api_patch = api[2];
  c.strict_channel = vm["strict-channel"].as<bool>();

  for (const std::string& v : list(vm, "slots")) {
    const auto [m, n] = split_module(v);
    c.modules[m].slot_count = static_cast<uint8_t>(parse_number(n, 0, 127, "--slots count"));
  }
  for (const std::string& v : list(vm, "max-payload")) {
    const auto [m, n] = split_module(v);
    c.modules[m].max_payload_size = parse_number(n, 0, 0xFFFFFFFF, "--max-payload");
  }
  for (const std::string& v : list(vm, "max-load")) {
    const auto [m, n] = split_module(v);
    c.modules[m].max_load_size = parse_number(n, 0, 0xFFFFFFFF, "--max-load");
  }
  for (const std::string& v : list(vm, "no-info")) c.modules[parse_module(v)].has_info = false;
  // Last: a preload's record uses the platform, the API version and the slot counts.
  for (const std::string& v : list(vm, "preload")) c.preloads.push_back(parse_preload(v, c));
  for (const std::string& v : list(vm, "preload-unit")) {
    c.preloads.push_back(preload_from_package(v, c, vm["verbose"].as<bool>()));
  }
}

void apply_faults(const po::variables_map& vm, SimConfig& c) {
  const auto switch_fault = [&](const char* name, bool KindFaults::*field) {
    for (const std::string& v : list(vm, name)) {
      for_kinds(parse_kinds(v), c, [&](KindFaults& f) { f.*field = true; });
    }
  };
  const auto count_fault = [&](const char* name, unsigned KindFaults::*field, uint32_t high) {
    for (const std::string& v : list(vm, name)) {
      const auto [kinds, n] = split_kinds(v, KindSet().set());
      const unsigned value = parse_number(n, 0, high, name);
      for_kinds(kinds, c, [&](KindFaults& f) { f.*field = value; });
    }
  };
  switch_fault("silent", &KindFaults::silent);
  switch_fault("wrong-module", &KindFaults::wrong_module);
  switch_fault("wrong-slot", &KindFaults::wrong_slot);
  switch_fault("realtime", &KindFaults::realtime);
  switch_fault("noise", &KindFaults::noise);
  switch_fault("twice", &KindFaults::twice);
  count_fault("delay", &KindFaults::delay_ms, 600000);
  count_fault("truncate", &KindFaults::truncate, 65536);
  count_fault("overlong", &KindFaults::overlong, 65536);
  count_fault("flood", &KindFaults::flood, 100000);
  for (const std::string& v : list(vm, "status")) {
    const auto [kinds, byte] = split_kinds(v, kLoadsAndClears);
    if ((kinds & ~kLoadsAndClears).any()) {
      throw std::invalid_argument("--status applies to load and clear requests only");
    }
    const auto status = static_cast<uint8_t>(parse_number(byte, 0, 127, "--status"));
    for_kinds(kinds, c, [&](KindFaults& f) { f.status = status; });
  }
  if (vm.count("api-platform")) {
    c.api_platform = static_cast<uint8_t>(
        parse_number(vm["api-platform"].as<std::string>(), 0, 127, "--api-platform"));
  }
}

}  // namespace

CommandLine parse_command_line(const std::vector<std::string>& args) {
  po::options_description all("Usage: quave-devsim [options]\n\nA simulated synthesizer on two virtual MIDI ports");
  all.add(device_options()).add(fault_options()).add(process_options());
  po::variables_map vm;
  po::store(po::command_line_parser(args).options(all).run(), vm);
  po::notify(vm);

  CommandLine cl;
  if (vm.count("help")) {
    std::ostringstream text;
    text << all;
    cl.help = true;
    cl.help_text = text.str();
    return cl;
  }
  apply_device(vm, cl);
  apply_faults(vm, cl.config);
  SimConfig& c = cl.config;
  if (vm.count("api")) {
    c.api = vm["api"].as<std::string>();
    if (c.api != "alsa" && c.api != "jack") throw std::invalid_argument("--api must be alsa or jack");
  }
  if (vm.count("port-tag")) {
    c.port_tag = vm["port-tag"].as<std::string>();
    if (c.port_tag.find_first_not_of("#0123456789 ") != std::string::npos) {
      cl.warnings.push_back("the program finds only port tags made of digits, blanks and '#'");
    }
  }
  c.output_first = vm["output-first"].as<bool>();
  if (vm.count("rawmidi")) c.rawmidi_path = vm["rawmidi"].as<std::string>();
  if (vm.count("usb-gadget")) {
    c.usb_gadget_path = vm["usb-gadget"].as<std::string>();
    if (!c.rawmidi_path.empty()) throw std::invalid_argument("--usb-gadget and --rawmidi exclude each other");
  }
  if (vm.count("drain")) {
    c.drain_rate = parse_number(vm["drain"].as<std::string>(), 0, 10000000, "--drain");
    if (c.rawmidi_path.empty() && c.usb_gadget_path.empty()) {
      throw std::invalid_argument("--drain goes with --rawmidi or --usb-gadget");
    }
  }
  if (vm.count("stop-reading")) {
    c.stop_reading_after = parse_number(vm["stop-reading"].as<std::string>(), 0, 0xFFFFFFFF, "--stop-reading");
    if (c.usb_gadget_path.empty()) throw std::invalid_argument("--stop-reading goes with --usb-gadget");
  }
  if (vm.count("log")) c.log_path = vm["log"].as<std::string>();
  c.verbose = vm["verbose"].as<bool>();
  c.ready = vm["ready"].as<bool>();
  return cl;
}

}  // namespace devsim
