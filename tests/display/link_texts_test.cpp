// The failure lines of the device commands, from the outcomes.
#include <gtest/gtest.h>

#include "display/link_texts.hpp"

namespace quave {
namespace {

TEST(FailureLine, EveryOutcome) {
  struct Case {
    Outcome outcome;
    const char* line;
  };
  const Case cases[] = {
      {{Fault::timed_out, kSearchDevice}, "Error: Search device request timed out."},
      {{Fault::timed_out, kApiVersion}, "Error: API version request timed out."},
      {{Fault::timed_out, kModuleInfo}, "Error: Module info request timed out."},
      {{Fault::timed_out, kSlotStatus}, "Error: Module info request timed out."},
      {{Fault::timed_out, kClear}, "Error: Clear command timed out."},
      {{Fault::timed_out, kUnitLoad}, "Error: Unit load request timed out."},
      {{Fault::device_error, kApiVersion, 3}, "Error: Got user api reply for wrong target platform."},
      {{Fault::device_error, kModuleInfo, 4}, "Error: Got module info with invalid module ID."},
      {{Fault::device_error, kModuleInfo, 6}, "Error: Could not decode module info data."},
      {{Fault::device_error, kSlotStatus, 4}, "Error: Got slot status with invalid module ID."},
      {{Fault::device_error, kSlotStatus, 5}, "Error: Got slot status with invalid slot ID."},
      {{Fault::device_error, kSlotStatus, 6}, "Error: Could not decode slot status data."},
      {{Fault::device_error, kClear, 1}, "Error: Device reported error code 1."},
      {{Fault::device_error, kClear, 2}, "Error: Device reported error code 2."},
      {{Fault::device_error, kClear, 4}, "Error: Invalid module ID."},
      {{Fault::device_error, kClear, 5}, "Error: Invalid slot ID."},
      {{Fault::device_error, kClear, 12}, "Error: Invalid command format."},
      {{Fault::device_error, kClear, 13}, "Error: Internal error."},
      {{Fault::device_error, kUnitLoad, 1}, "Error: Device reported error code 1."},
      {{Fault::device_error, kUnitLoad, 4}, "Error: Referenced an invalid module."},
      {{Fault::device_error, kUnitLoad, 5}, "Error: Referenced an invalid slot."},
      {{Fault::device_error, kUnitLoad, 7}, "Error: Unit data too large."},
      {{Fault::device_error, kUnitLoad, 8}, "Error: CRC verification failed."},
      {{Fault::device_error, kUnitLoad, 9}, "Error: Invalid unit target."},
      {{Fault::device_error, kUnitLoad, 10}, "Error: Incompatible API version."},
      {{Fault::device_error, kUnitLoad, 11}, "Error: Loadable code size too large."},
      {{Fault::device_error, kUnitLoad, 12}, "Error: Invalid unit data format."},
      {{Fault::device_error, kUnitLoad, 13}, "Error: Internal error."},
      {{Fault::gone, kModuleInfo}, "Error: The quave device is gone (unplugged or switched off)."},
      {{Fault::stalled, kUnitLoad}, "Error: The quave device stopped reading (nothing taken for 3 seconds)."},
      {{Fault::too_long, kUnitLoad, 0, 8198, 8186},
       "Error: The unit load request is 8198 bytes, too long for this JACK server, which carries "
       "8186 bytes in one message at most; nothing of it was sent. Use the synthesizer's ALSA "
       "ports, or jackd2 as the JACK server."},
      {{Fault::refused, kUnitLoad}, ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(failure_line(c.outcome), c.line) << c.line;
  }
  EXPECT_EQ(unrecognised_status_line(0x27), "Warning: Unrecognized status message received. (0x27)");
}

TEST(Dump, Format) {
  const uint8_t bytes[] = {0xF0, 0x00, 0x7F, 0xF7};
  EXPECT_EQ(dump_text(">>> ", bytes, 4), ">>> { f0, 0, 7f, f7 }");
  EXPECT_EQ(dump_text("<<< ", bytes, 0), "<<< {  }");
}

}  // namespace
}  // namespace quave
