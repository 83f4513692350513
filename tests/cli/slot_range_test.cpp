// The slots a command may name: those the module announces, and never one
// that does not fit a SysEx data byte, whatever the module announces.
#include <gtest/gtest.h>

#include "cli/device_connection.hpp"

namespace quave::test::slot_range_tests {
namespace {

using testing::internal::CaptureStderr;
using testing::internal::GetCapturedStderr;

TEST(SlotRange, NamesOnlySlotsTheModuleHasAndADataByteCarries) {
  struct Case {
    uint8_t announced;
    unsigned slot;
    const char* refusal;  // nullptr: the slot exists
  };
  const Case cases[] = {
      {2, 1, nullptr},
      {2, 2, "Error: Slot index too large. Only 2 slots available.\n"},
      {255, 127, nullptr},
      {255, 128, "Error: Slot index too large. Only 128 slots available.\n"},
      {255, 255, "Error: Slot index too large. Only 128 slots available.\n"},
      {128, 128, "Error: Slot index too large. Only 128 slots available.\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << unsigned{c.announced} << " slots, slot " << c.slot);
    DeviceInfo info;
    info.modules[kModuleOsc].bytes[8] = c.announced;
    CaptureStderr();
    const bool exists = slot_exists(info, kModuleOsc, c.slot);
    const std::string err = GetCapturedStderr();
    EXPECT_EQ(exists, c.refusal == nullptr);
    EXPECT_EQ(err, c.refusal ? c.refusal : "");
  }
}

}  // namespace
}  // namespace quave::test::slot_range_tests
