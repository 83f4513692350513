#include "display/link_texts.hpp"

#include <cstdio>

#include "device/link.hpp"

namespace quave {

std::string open_failure_text(OpenFault fault) {
  switch (fault) {
    case OpenFault::not_found: return "Error: Could not find matching quave MIDI ports.\n\n";
    case OpenFault::input: return "Error: Could not open quave input port.\n";
    case OpenFault::callback: return "Error: Could not set callback on input port.\n";
    case OpenFault::output: return "Error: Could not open quave output port.\n";
    // The command says which names there are.
    case OpenFault::synth_name:
    case OpenFault::none: break;
  }
  return "";
}

namespace {

const char* timeout_line(RequestKind kind) {
  switch (kind) {
    case kSearchDevice: return "Error: Search device request timed out.";
    case kApiVersion: return "Error: API version request timed out.";
    // The slot status request has the module info request's words.
    case kModuleInfo: case kSlotStatus: return "Error: Module info request timed out.";
    case kClear: return "Error: Clear command timed out.";
    case kUnitLoad: return "Error: Unit load request timed out.";
    case kIdle: break;
  }
  return "Error: Unexpected error.";
}

}  // namespace

std::string failure_line(const Outcome& outcome) {
  switch (outcome.fault) {
    case Fault::timed_out: return timeout_line(outcome.request);
    case Fault::device_error: return device_error_line(outcome.request, outcome.code);
    case Fault::gone: return "Error: The quave device is gone (unplugged or switched off).";
    case Fault::stalled:
      return "Error: The quave device stopped reading (nothing taken for " +
             std::to_string(kStallAfter.count()) + " seconds).";
    // Only JACK has a limit: PipeWire's since 1.3.
    case Fault::too_long:
      return std::string(outcome.request == kUnitLoad ? "Error: The unit load request is "
                                                       : "Error: The request is ") +
             std::to_string(outcome.length) +
             " bytes, too long for this JACK server, which carries " +
             std::to_string(outcome.largest) +
             " bytes in one message at most; nothing of it was sent. Use the synthesizer's "
             "ALSA ports, or jackd2 as the JACK server.";
    case Fault::refused: case Fault::none: break;
  }
  return "";
}

const char* error_message(RequestKind kind, uint32_t code) {
  switch (kind) {
    case kApiVersion:
      if (code == kErrorWrongPlatform) return "Got user api reply for wrong target platform.";
      break;
    case kModuleInfo:
      if (code == kErrorInvalidModule) return "Got module info with invalid module ID.";
      if (code == kErrorUndecodable) return "Could not decode module info data.";
      break;
    case kSlotStatus:
      if (code == kErrorInvalidModule) return "Got slot status with invalid module ID.";
      if (code == kErrorInvalidSlot) return "Got slot status with invalid slot ID.";
      if (code == kErrorUndecodable) return "Could not decode slot status data.";
      break;
    case kClear:
      if (code == kErrorInvalidModule) return "Invalid module ID.";
      if (code == kErrorInvalidSlot) return "Invalid slot ID.";
      if (code == kErrorFormat) return "Invalid command format.";
      if (code == kErrorInternal) return "Internal error.";
      break;
    case kUnitLoad:
      switch (code) {
        case kErrorInvalidModule: return "Referenced an invalid module.";
        case kErrorInvalidSlot: return "Referenced an invalid slot.";
        case kErrorTooLarge: return "Unit data too large.";
        case kErrorCrc: return "CRC verification failed.";
        case kErrorInvalidTarget: return "Invalid unit target.";
        case kErrorApiVersion: return "Incompatible API version.";
        case kErrorCodeSize: return "Loadable code size too large.";
        case kErrorFormat: return "Invalid unit data format.";
        case kErrorInternal: return "Internal error.";
        default: break;
      }
      break;
    default:
      break;
  }
  return "";
}

std::string device_error_line(RequestKind kind, uint32_t code) {
  const std::string text = error_message(kind, code);
  if (!text.empty()) return "Error: " + text;
  return "Error: Device reported error code " + std::to_string(code) + ".";
}

std::string unrecognised_status_line(uint8_t status) {
  char text[64];
  std::snprintf(text, sizeof text, "Warning: Unrecognized status message received. (0x%x)",
                status);
  return text;
}

std::string dump_text(const std::string& prefix, const uint8_t* message, size_t length) {
  std::string line = prefix + "{ ";
  char buf[4];
  for (size_t i = 0; i < length; ++i) {
    std::snprintf(buf, sizeof buf, "%x", message[i]);
    if (i) line += ", ";
    line += buf;
  }
  line += " }";
  return line;
}

}  // namespace quave
