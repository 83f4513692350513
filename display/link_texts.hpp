// The lines the device commands print about the link and the device's
// answers: failures, the device's error texts, the warning for a status
// that means nothing, and the debug dumps. Lines come without their line
// end unless said.
#pragma once

#include <cstdint>
#include <string>

#include "device/outcome.hpp"

namespace quave {

// "Error: Could not find matching quave MIDI ports." and the like, each
// with its own line ends ("\n\n" after the search's).
std::string open_failure_text(OpenFault fault);

// The line for an outcome that is not ok(): the request's time-out line,
// the device's error text, or what became of the device. Empty for
// Fault::refused, which says nothing.
std::string failure_line(const Outcome& outcome);

// The text of a device error by request kind and code (0..13); the
// empty text where the table has none.
const char* error_message(RequestKind kind, uint32_t code);
// "Error: " and the table text, or "Error: Device reported error code N."
// where the table has none.
std::string device_error_line(RequestKind kind, uint32_t code);

// "Warning: Unrecognized status message received. (0x27)"
std::string unrecognised_status_line(uint8_t status);

// "{ f0, 42, 50, 0, 55, f7 }" behind `prefix`, no line end.
std::string dump_text(const std::string& prefix, const uint8_t* message, size_t length);

}  // namespace quave
