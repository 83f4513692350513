// What the decoders make of replies: the records they keep, and the replies
// that do not fit what was asked.
#include <gtest/gtest.h>

#include "device/protocol/replies.hpp"
#include "tests/device/fake_device.hpp"

namespace quave {
namespace {

const DeviceAddress kFrom{0, {0x00, 0x01, 0x57}};

DeviceInfo info_from() {
  DeviceInfo info;
  info.model_id = kFrom.model_id;
  return info;
}

std::vector<uint8_t> counting(size_t n) {
  std::vector<uint8_t> d(n);
  for (size_t i = 0; i < n; ++i) d[i] = static_cast<uint8_t>(0x80 + i);
  return d;
}

TEST(ModuleInfoAnswer, DataLengths) {
  for (size_t n : {0, 9, 16, 20}) {
    DeviceInfo info = info_from();
    info.modules[2].bytes.fill(0xEE);  // what an empty reply leaves alone
    const Answer a = answer_module_info(test::module_info_reply(kFrom, 2, counting(n)), info, 2);
    EXPECT_EQ(a.kind, Answer::reply) << n;
    EXPECT_EQ(a.empty, n == 0) << n;
    std::array<uint8_t, 16> expected;
    expected.fill(n ? 0 : 0xEE);
    for (size_t i = 0; i < std::min<size_t>(n, 16); ++i) expected[i] = static_cast<uint8_t>(0x80 + i);
    EXPECT_EQ(info.modules[2].bytes, expected) << n;
  }
}

TEST(ModuleInfoAnswer, AnotherModuleIsAnErrorNotShown) {
  for (uint8_t module : {1, 3, 5, 0x7F}) {
    DeviceInfo info = info_from();
    const Answer a = answer_module_info(test::module_info_reply(kFrom, module, {1}), info, 2);
    EXPECT_EQ(a.kind, Answer::error) << int(module);
    EXPECT_EQ(a.code, kErrorInvalidModule);
    EXPECT_FALSE(a.taken);
    EXPECT_EQ(info.modules[2].bytes, ModuleInfo{}.bytes);
  }
}

TEST(SlotStatusAnswer, Checks) {
  struct Case {
    const char* what;
    uint8_t slot_count;  // of module 2
    uint8_t module, slot;
    Answer::Kind kind;
    uint32_t code;
  };
  const Case cases[] = {
      {"the slot asked", 3, 2, 1, Answer::reply, 0},
      {"slot at the count", 3, 2, 3, Answer::error, kErrorInvalidSlot},
      {"another slot", 4, 2, 0, Answer::error, kErrorInvalidSlot},
      {"another module", 4, 3, 1, Answer::error, kErrorInvalidModule},
      {"module 5", 4, 5, 1, Answer::error, kErrorInvalidModule},
  };
  for (const Case& c : cases) {
    DeviceInfo info = info_from();
    info.modules[2].bytes[8] = c.slot_count;
    // Asked: slot 1 of module 2, or slot 3 for the slot at the count.
    const unsigned asked = c.slot == 3 ? 3 : 1;
    const Answer a = answer_slot_status(test::slot_status_reply(kFrom, c.module, c.slot, {0x01, 0x02}),
                                        info, 2, asked);
    EXPECT_EQ(a.kind, c.kind) << c.what;
    EXPECT_EQ(a.code, c.code) << c.what;
    EXPECT_EQ(info.slots[2][asked].bytes[0], c.kind == Answer::reply ? 0x01 : 0x00) << c.what;
  }
  // Only 16 records per module, whatever the device says.
  DeviceInfo info = info_from();
  info.modules[2].bytes[8] = 20;
  EXPECT_EQ(answer_slot_status(test::slot_status_reply(kFrom, 2, 16, {}), info, 2, 16).code,
            kErrorInvalidSlot);
}

TEST(SlotStatusAnswer, EmptyReplyFreesTheSlot) {
  DeviceInfo info = info_from();
  info.modules[1].bytes[8] = 2;
  info.slots[1][1].bytes.fill(0x33);
  const Answer a = answer_slot_status(test::slot_status_reply(kFrom, 1, 1, {}), info, 1, 1);
  EXPECT_TRUE(a.empty);
  EXPECT_TRUE(info.slots[1][1].is_free());
  EXPECT_EQ(info.slots[1][1].bytes, SlotStatus{}.bytes);
}

// The model is the search reply's: an API reply naming another of the
// three is taken, and changes nothing of it.
TEST(ApiVersionAnswer, PlatformCheck) {
  for (uint8_t platform : {0, 1, 2, 3, 4, 0x81}) {
    DeviceInfo info = info_from();
    info.platform = 3;
    const Answer a = answer_api_version(test::api_reply(kFrom, platform, 1, 2, 3), info);
    const uint8_t low = platform & 0x7F;
    EXPECT_EQ(info.platform, 3);
    if (low >= 1 && low <= 3) {
      EXPECT_EQ(a.kind, Answer::reply);
      EXPECT_EQ(info.api_major(), 1);
      EXPECT_EQ(info.api_patch(), 3);
    } else {
      EXPECT_EQ(a.kind, Answer::error) << int(platform);
      EXPECT_EQ(a.code, kErrorWrongPlatform);
      EXPECT_EQ(info.api_version, (std::array<uint8_t, 3>{}));
    }
  }
}

TEST(SearchAnswer, TheFamilyNamesTheModel) {
  for (auto [family, platform] : {std::pair<uint8_t, uint8_t>{0x4B, 1}, {0x51, 2}, {0x57, 3}}) {
    DeviceInfo info;
    EXPECT_EQ(answer_search(test::search_reply(0x0A, family, 1, 2), info).kind, Answer::reply);
    EXPECT_EQ(info.platform, platform);
    EXPECT_EQ(info.channel, 2);
    EXPECT_EQ(info.model_id, (std::array<uint8_t, 3>{0x00, 0x01, family}));
  }
}

TEST(StatusAnswer, BothColumns) {
  struct Row {
    uint8_t status;
    int clear_code;  // -1 acknowledge, -2 not recognised, else error code
    int load_code;
  };
  const Row rows[] = {
      {0x23, -1, -1}, {0x24, 1, 1},   {0x25, -2, -2}, {0x26, 2, 2},   {0x27, -2, 7},
      {0x28, -2, 8},  {0x29, -2, 9},  {0x2A, -2, 10}, {0x2B, -2, 11}, {0x2C, 4, 4},
      {0x2D, 5, 5},   {0x2E, 12, 12}, {0x2F, 13, 13}, {0x00, -2, -2}, {0x30, -2, -2},
  };
  for (const Row& row : rows) {
    for (RequestKind kind : {kClear, kUnitLoad}) {
      const int code = kind == kClear ? row.clear_code : row.load_code;
      const Answer a = answer_status(test::status_reply(kFrom, row.status), kFrom, kind);
      SCOPED_TRACE(testing::Message() << "kind " << kind << " status " << int(row.status));
      EXPECT_TRUE(a.taken);
      const Answer::Kind expected =
          code == -1 ? Answer::reply : code == -2 ? Answer::unrecognised : Answer::error;
      EXPECT_EQ(a.kind, expected);
      EXPECT_EQ(a.code, code >= 0 ? static_cast<uint32_t>(code) : 0u);
    }
  }
}

}  // namespace
}  // namespace quave
