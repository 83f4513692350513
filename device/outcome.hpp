// How a device operation ended: what the command needs to put it into words.
#pragma once

#include <cstddef>
#include <cstdint>

#include "device/protocol/messages.hpp"

namespace quave {

enum class Fault {
  none,
  refused,       // called out of turn (no handshake yet): nothing was sent
  timed_out,     // no reply within the request's time
  device_error,  // the device reported an error, or its reply did not fit the request
  gone,          // the device went away: unplugged, switched off, its sound server stopped
  stalled,       // the device stopped taking what was sent
  too_long,      // the link cannot carry the request: nothing of it was sent
};

struct Outcome {
  Fault fault = Fault::none;
  RequestKind request = kIdle;  // the request under way when it failed
  uint32_t code = 0;            // for device_error: the ErrorCode
  // For too_long: the request's length, and the longest the link carries.
  size_t length = 0;
  size_t largest = 0;

  bool ok() const { return fault == Fault::none; }
};

// Why the ports could not be opened. Opening comes before any request, so
// it has words of its own rather than an Outcome's.
enum class OpenFault {
  none,
  not_found,   // no port of the device by name
  synth_name,  // not exactly one synthesizer of the name asked for
  input,       // the input port would not open
  callback,    // the input would not take the callback
  output,      // the output port would not open
};

}  // namespace quave
