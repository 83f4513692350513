// quave-devsim: a simulated synthesizer on two virtual MIDI ports, for tests
// and for trying units without hardware; man/quave-devsim.1 tells its options.
#include <algorithm>
#include <csignal>
#include <cstdio>
#include <exception>
#include <map>
#include <string>
#include <vector>

#include "tools/devsim/cli/options.hpp"
#include "tools/devsim/transport/raw_midi_link.hpp"
#include "tools/devsim/cli/request_log.hpp"
#include "tools/devsim/model/responder.hpp"
#include "tools/devsim/transport/sim_ports.hpp"
#include "tools/devsim/transport/usb_gadget_link.hpp"

namespace {

using Clock = std::chrono::steady_clock;

volatile std::sig_atomic_t g_stop = 0;

extern "C" void on_signal(int) { g_stop = 1; }

void install_signal_handlers() {
  struct sigaction sa {};
  sa.sa_handler = on_signal;
  sigemptyset(&sa.sa_mask);
  sigaction(SIGINT, &sa, nullptr);
  sigaction(SIGTERM, &sa, nullptr);
}

void print_line(std::FILE* stream, const std::string& line) {
  const std::string text = line + "\n";
  std::fwrite(text.data(), 1, text.size(), stream);
  std::fflush(stream);
}

// Answers requests until a signal arrives. Replies wait in `outbox` until
// their time; equal times keep their order.
template <class Link>
void serve(Link& link, const devsim::SimConfig& config, devsim::RequestLog& log) {
  devsim::SimDevice device(config);
  std::multimap<Clock::time_point, devsim::Message> outbox;
  // The wait is short so that a signal ends the loop promptly.
  constexpr auto kTick = std::chrono::milliseconds(50);
  // A flood's messages are due at kFloodPerMs a millisecond. A loop that
  // wakes late sends what came due meanwhile in bursts of at most
  // kFloodBurst, catching up at twice the rate: a larger burst would overflow
  // the link's buffers and be dropped, and a loop that never sent more than
  // a millisecond's share stretched a flood by its own delays.
  constexpr double kFloodBurst = 5.0 * devsim::kFloodPerMs;
  constexpr double kCatchUpPerMs = 2.0 * devsim::kFloodPerMs;
  double allowance = kFloodBurst;
  Clock::time_point counted = Clock::now();
  while (!g_stop) {
    Clock::time_point wake = Clock::now() + kTick;
    if (!outbox.empty()) {
      const std::chrono::duration<double, std::milli> short_by(std::max(0.0, 1.0 - allowance) /
                                                               kCatchUpPerMs);
      wake = std::min(wake, std::max(outbox.begin()->first,
                                     counted + std::chrono::duration_cast<Clock::duration>(short_by)));
    }
    for (const devsim::Message& request : link.receive(wake)) {
      const Clock::time_point arrived = Clock::now();
      log.record(request);
      if (config.verbose) print_line(stdout, "<< " + devsim::hex_line(request));
      for (devsim::Outgoing& o : devsim::respond(device, config, request)) {
        outbox.emplace(arrived + std::chrono::milliseconds(o.delay_ms), std::move(o.bytes));
      }
    }
    const Clock::time_point now = Clock::now();
    const std::chrono::duration<double, std::milli> elapsed = now - counted;
    allowance = std::min(kFloodBurst, allowance + elapsed.count() * kCatchUpPerMs);
    counted = now;
    while (!outbox.empty() && outbox.begin()->first <= now && allowance >= 1.0) {
      if (config.verbose) print_line(stdout, ">> " + devsim::hex_line(outbox.begin()->second));
      link.send(outbox.begin()->second);
      outbox.erase(outbox.begin());
      allowance -= 1.0;
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  devsim::CommandLine cl;
  try {
    cl = devsim::parse_command_line(std::vector<std::string>(argv + 1, argv + argc));
  } catch (const std::exception& e) {
    print_line(stderr, std::string("Error: ") + e.what());
    return 1;
  }
  if (cl.help) {
    std::fputs(cl.help_text.c_str(), stdout);
    return 0;
  }
  for (const std::string& w : cl.warnings) print_line(stderr, "Warning: " + w);
  const devsim::SimConfig& config = cl.config;

  devsim::RequestLog log;
  if (!config.log_path.empty() && !log.open(config.log_path)) {
    print_line(stderr, "Error: cannot write the log file " + config.log_path);
    return 1;
  }
  install_signal_handlers();
  try {
    if (!config.rawmidi_path.empty()) {
      devsim::RawMidiLink link(config.rawmidi_path, config.drain_rate);
      if (config.ready) print_line(stdout, "ready\t" + config.rawmidi_path + "\t" + config.rawmidi_path);
      if (config.verbose) print_line(stdout, "MIDI API: " + link.api_name());
      serve(link, config, log);
      return 0;
    }
    if (!config.usb_gadget_path.empty()) {
      // Enumeration under an emulated controller takes a few seconds.
      devsim::UsbGadgetLink link(config.usb_gadget_path, devsim::product_name(config),
                                 config.drain_rate, std::chrono::seconds(20),
                                 config.stop_reading_after);
      if (config.ready) {
        print_line(stdout, "ready\t" + devsim::output_port_name(config) + "\t" +
                               devsim::input_port_name(config));
      }
      if (config.verbose) print_line(stdout, "MIDI API: " + link.api_name());
      serve(link, config, log);
      return 0;
    }
    const std::string out_name = devsim::output_port_name(config);
    const std::string in_name = devsim::input_port_name(config);
    devsim::SimPorts link(config.api, in_name, out_name, config.output_first);
    if (config.ready) print_line(stdout, "ready\t" + out_name + "\t" + in_name);
    if (config.verbose) print_line(stdout, "MIDI API: " + link.api_name());
    serve(link, config, log);
  } catch (const std::exception& e) {
    print_line(stderr, std::string("Error: ") + e.what());
    return 1;
  }
  return 0;
}
