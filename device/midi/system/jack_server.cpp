#include "device/midi/system/jack_server.hpp"

#include <cstdio>

namespace quave {

namespace {

// jack2 keeps a MIDI port's events in a buffer of 32,768 bytes, 48 of them
// its own.
constexpr size_t kJackd2LargestEvent = 32720;
// PipeWire's legacy MIDI path reserves 32,736 bytes, but an event of that
// length crashed the sender.
constexpr size_t kPipeWireLegacyLargestEvent = 32735;
constexpr size_t kPipeWireUmpLargestEvent = 8186;

}  // namespace

JackServer jack_server_from(const std::string& version_string) {
  const std::string mark = "using PipeWire ";
  const size_t at = version_string.find(mark);
  if (at == std::string::npos) return {"jackd2 " + version_string, kJackd2LargestEvent, true, false};
  std::string version = version_string.substr(at + mark.size());
  version = version.substr(0, version.find_first_not_of("0123456789."));
  unsigned major = 0;
  unsigned minor = 0;
  std::sscanf(version.c_str(), "%u.%u", &major, &minor);
  // MIDI travels the graph as MIDI 2.0 packets from 1.3 on (the 1.4 series).
  const bool ump = major > 1 || (major == 1 && minor >= 3);
  return {"PipeWire " + version, ump ? kPipeWireUmpLargestEvent : kPipeWireLegacyLargestEvent, !ump,
          true};
}

}  // namespace quave
