// Module info and slot status replies turned into records.
#include <gtest/gtest.h>

#include "device/record_handlers.hpp"
#include "display/device_display.hpp"
#include "tests/device/fake_device.hpp"

namespace quave {
namespace {

using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

struct Handlers {
  DeviceInfo info;
  PendingRequest pending;
  const DeviceAddress address{0, {0x00, 0x01, 0x57}};

  explicit Handlers(uint32_t options = 0) {
    pending.info = &info;
    pending.options = options;
    pending.narration = {module_line, slot_line};
    info.model_id = address.model_id;
  }
};

std::vector<uint8_t> counting(size_t n) {
  std::vector<uint8_t> d(n);
  for (size_t i = 0; i < n; ++i) d[i] = static_cast<uint8_t>(0x80 + i);
  return d;
}

TEST(ModuleInfoHandler, DataLengths) {
  for (size_t n : {0, 9, 16, 20}) {
    Handlers h(kOptionVerbose);
    h.pending.kind = kModuleInfo;
    h.pending.index = 2;
    h.info.modules[2].bytes.fill(0xEE);  // what an empty reply leaves alone
    CaptureStdout();
    handle_module_info_reply(h.pending, test::module_info_reply(h.address, 2, counting(n)));
    const std::string out = GetCapturedStdout();

    std::array<uint8_t, 16> expected;
    expected.fill(n ? 0 : 0xEE);
    for (size_t i = 0; i < std::min<size_t>(n, 16); ++i) expected[i] = static_cast<uint8_t>(0x80 + i);
    EXPECT_EQ(h.info.modules[2].bytes, expected) << n;
    EXPECT_EQ(h.pending.index, 3u);
    EXPECT_EQ(h.pending.flags, 0u);
    if (n == 0) EXPECT_EQ(out, "Delay FX: no info.\n");
    else EXPECT_EQ(out.rfind("Delay FX: [ slot_count: ", 0), 0u) << out;
  }
}

TEST(ModuleInfoHandler, WrongModuleAndLastModule) {
  for (uint8_t module : {1, 3, 5, 0x7F}) {
    Handlers h;
    h.pending.index = 2;
    handle_module_info_reply(h.pending, test::module_info_reply(h.address, module, {1}));
    EXPECT_EQ(h.pending.flags, kFlagDeviceError) << int(module);
    EXPECT_EQ(h.pending.error_code, 4u);
    EXPECT_EQ(h.pending.index, 2u);
  }
  Handlers h;
  h.pending.index = 4;
  handle_module_info_reply(h.pending, test::module_info_reply(h.address, 4, test::module_data(9, 8, 3)));
  EXPECT_EQ(h.pending.flags, kFlagModulesDone);
  EXPECT_EQ(h.pending.index, 4u);
  EXPECT_EQ(h.info.modules[4].slot_count(), 3);
  EXPECT_EQ(h.info.modules[4].max_payload_size(), 9u);
  // The same reply again changes nothing once the step is done.
  handle_module_info_reply(h.pending, test::module_info_reply(h.address, 4, test::module_data(1, 1, 1)));
  EXPECT_EQ(h.info.modules[4].slot_count(), 3);
  EXPECT_EQ(h.pending.flags, kFlagModulesDone);
}

TEST(SlotStatusHandler, ChecksAndAdvances) {
  struct Case {
    const char* what;
    uint8_t slot_count_2;  // module 2's slot count; modules 3, 4 have 2 each
    uint32_t index;
    uint8_t module, slot;
    uint32_t flags, error_code, index_after;
  };
  const Case cases[] = {
      {"next slot", 3, 2 * 256 + 0, 2, 0, 0, 0, 2 * 256 + 1},
      {"last slot of 2 moves to 3", 3, 2 * 256 + 2, 2, 2, 0, 0, 3 * 256},
      {"last slot of 4 sets the flag", 3, 4 * 256 + 1, 4, 1, kFlagSlotsDone, 0, 4 * 256 + 1},
      {"slot at the count", 3, 2 * 256 + 3, 2, 3, kFlagDeviceError, 5, 2 * 256 + 3},
      {"other slot", 3, 2 * 256 + 1, 2, 0, kFlagDeviceError, 5, 2 * 256 + 1},
      {"other module", 3, 2 * 256 + 0, 3, 0, kFlagDeviceError, 4, 2 * 256},
      {"module 5", 3, 2 * 256 + 0, 5, 0, kFlagDeviceError, 4, 2 * 256},
      // Only 16 records per module, whatever the device says.
      {"slot 16 of 20", 20, 2 * 256 + 16, 2, 16, kFlagDeviceError, 5, 2 * 256 + 16},
      {"slot 15 of 20 is the last", 20, 2 * 256 + 15, 2, 15, 0, 0, 3 * 256},
  };
  for (const auto& c : cases) {
    Handlers h;
    h.info.modules[2].bytes[8] = c.slot_count_2;
    h.info.modules[3].bytes[8] = 2;
    h.info.modules[4].bytes[8] = 2;
    h.pending.index = c.index;
    h.pending.error_code = 7;
    handle_slot_status_reply(h.pending,
                             test::slot_status_reply(h.address, c.module, c.slot, {0x01, 0x02}));
    EXPECT_EQ(h.pending.flags, c.flags) << c.what;
    EXPECT_EQ(h.pending.error_code, c.error_code) << c.what;
    EXPECT_EQ(h.pending.index, c.index_after) << c.what;
    const bool stored = c.flags != kFlagDeviceError;
    if (c.module < 5 && c.slot < 16) {
      EXPECT_EQ(h.info.slots[c.module][c.slot].bytes[0], stored ? 0x01 : 0x00) << c.what;
    }
  }
}

TEST(SlotStatusHandler, RecordsAndVerboseLines) {
  Handlers h(kOptionVerbose);
  h.info.modules[1].bytes[8] = 2;
  h.info.slots[1][1].bytes.fill(0x33);  // an empty reply frees an occupied slot
  h.pending.index = 1 * 256;
  CaptureStdout();
  handle_slot_status_reply(h.pending, test::slot_status_reply(h.address, 1, 0, test::slot_data(1, "wobble")));
  handle_slot_status_reply(h.pending, test::slot_status_reply(h.address, 1, 1, {}));
  EXPECT_EQ(GetCapturedStdout(),
            "Modulation FX 0: \"wobble\" v1.00-0 api:1.01-0 did:00000044 uid:00000007\n"
            "Modulation FX 1: free.\n");
  EXPECT_TRUE(h.info.slots[1][1].is_free());
  EXPECT_EQ(h.info.slots[1][1].bytes, SlotStatus{}.bytes);
  EXPECT_EQ(h.info.slots[1][0].bytes[18], 'w');
  EXPECT_EQ(h.pending.index, 2u * 256);
}

}  // namespace
}  // namespace quave
