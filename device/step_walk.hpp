// The walk every transaction makes through the request kinds 1 to 7, with a
// 10 ms pause after each; a transaction acts only at the kinds it cares
// about.
#pragma once

#include <cstdint>
#include <functional>

#include "device/engine.hpp"

namespace quave {

// Runs `step(kind)` for kinds 1..7. A step that fails has printed its line;
// the engine is then reset and the walk returns false. On success the engine
// is reset too. `step` may send and wait; it must leave `kind` as it found it.
bool walk_request_kinds(PendingRequest& pending, const std::function<bool(uint32_t)>& step);

// The line for a wait that did not end in `received`: the step's time-out
// message, the device's error text, or "Error: Unexpected error.".
void report_wait_failure(WaitOutcome outcome, uint32_t kind, uint32_t error_code,
                         const char* timeout_line);

}  // namespace quave
