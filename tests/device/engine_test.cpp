// The reply dispatcher and the wait, without MIDI.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "device/engine.hpp"
#include "tests/device/fake_device.hpp"

namespace quave {
namespace {

using testing::internal::CaptureStderr;
using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStderr;
using testing::internal::GetCapturedStdout;

struct Engine {
  DeviceInfo info;
  PendingRequest pending;
  const DeviceAddress address{3, {0x00, 0x01, 0x4B}};

  explicit Engine(uint32_t kind, uint32_t options = 0) {
    pending.info = &info;
    pending.options = options;
    pending.kind = kind;
    info.channel = address.channel;
    info.model_id = address.model_id;
  }
  void feed(Message m) { dispatch_reply(pending, m); }
};

TEST(Dispatch, IdleAndDumpOnlyKindsStoreNothing) {
  const Message reply = test::search_reply(0, 0x4B, 1, 0);
  struct Case {
    uint32_t kind;
    uint32_t options;
    std::string out;
  };
  const std::string dump = "<<< { f0, 42, 50, 1, 0, 55, 4b, 1, 0, 0, 1, 0, 0, 0, f7 }\n";
  const Case cases[] = {{0, 0, ""}, {0, kOptionDebug, dump}, {9, kOptionDebug, dump},
                        {7, 0, dump}, {7, kOptionVerbose, dump}};
  for (const auto& c : cases) {
    Engine e(c.kind, c.options);
    CaptureStdout();
    e.feed(reply);
    EXPECT_EQ(GetCapturedStdout(), c.out) << c.kind;
    EXPECT_EQ(e.pending.flags, 0u);
    EXPECT_EQ(e.info.system_version[0], 0u);
  }
}

TEST(Dispatch, SearchReplyStoresAndIgnoresRepeats) {
  Engine e(kSearchDevice, kOptionDebug);
  e.info = DeviceInfo{};
  Message reply = test::search_reply(0x09, 0x51, 2, 7);
  reply.insert(reply.begin() + 3, 0xF8);  // stripped before recognition
  reply.insert(reply.end() - 1, 0xFE);
  CaptureStdout();
  e.feed(reply);
  EXPECT_EQ(GetCapturedStdout(), "<<< { f0, 42, 50, 1, 9, 55, 51, 1, 0, 0, 2, 0, 7, 0, f7 }\n");
  EXPECT_EQ(e.pending.flags, kFlagSearch);
  EXPECT_EQ(e.info.channel, 1);  // low three bits of 0x09
  EXPECT_EQ(e.info.model_id, (std::array<uint8_t, 3>{0x00, 0x01, 0x51}));
  EXPECT_EQ(e.info.system_major(), 2);
  EXPECT_EQ(e.info.system_minor(), 7);

  // A repeat after acceptance leaves the records alone.
  CaptureStdout();
  e.feed(test::search_reply(0x04, 0x57, 9, 9));
  EXPECT_EQ(GetCapturedStdout(), "");
  EXPECT_EQ(e.info.channel, 1);
  EXPECT_EQ(e.info.system_major(), 2);
}

TEST(Dispatch, ApiVersionReplyPlatformCheck) {
  for (uint8_t platform : {0, 1, 2, 3, 4, 0x81}) {
    Engine e(kApiVersion);
    e.feed(test::api_reply(e.address, platform, 1, 2, 3));
    const uint8_t low = platform & 0x7F;
    if (low >= 1 && low <= 3) {
      EXPECT_EQ(e.pending.flags, kFlagApiVersion);
      EXPECT_EQ(e.info.platform, low);
      EXPECT_EQ(e.info.api_major(), 1);
      EXPECT_EQ(e.info.api_minor(), 2);
      EXPECT_EQ(e.info.api_patch(), 3);
    } else {
      EXPECT_EQ(e.pending.flags, kFlagDeviceError) << int(platform);
      EXPECT_EQ(e.pending.error_code, 3u);
      EXPECT_EQ(e.info.platform, 0);
    }
  }
  // Another device's reply is not recognised at all.
  Engine e(kApiVersion);
  e.feed(test::api_reply(DeviceAddress{4, e.address.model_id}, 9, 1, 2, 3));
  EXPECT_EQ(e.pending.flags, 0u);
}

TEST(Dispatch, StatusBytesOfBothColumns) {
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
    for (uint32_t kind : {kClear, kUnitLoad}) {
      const int code = kind == kClear ? row.clear_code : row.load_code;
      const uint32_t ack = kind == kClear ? kFlagClearAck : kFlagLoadAck;
      Engine e(kind);
      e.pending.error_code = 99;
      CaptureStderr();
      e.feed(test::status_reply(e.address, row.status));
      const std::string err = GetCapturedStderr();
      SCOPED_TRACE(testing::Message() << "kind " << kind << " status " << int(row.status));
      if (code == -1) {
        EXPECT_EQ(e.pending.flags, ack);
        EXPECT_EQ(e.pending.error_code, 0u);
      } else if (code == -2) {
        EXPECT_EQ(e.pending.flags, 0u);
        EXPECT_EQ(e.pending.error_code, 99u);
        char expected[80];
        std::snprintf(expected, sizeof expected,
                      "Warning: Unrecognized status message received. (0x%x)\n", row.status);
        EXPECT_EQ(err, expected);
        continue;
      } else {
        EXPECT_EQ(e.pending.flags, kFlagDeviceError);
        EXPECT_EQ(e.pending.error_code, static_cast<uint32_t>(code));
      }
      EXPECT_EQ(err, "");
    }
  }
}

TEST(Dispatch, ErrorBitBlocksLaterReplies) {
  Engine e(kUnitLoad, kOptionDebug);
  CaptureStdout();
  e.feed(test::status_reply(e.address, 0x2F));
  e.feed(test::status_reply(e.address, 0x23));
  EXPECT_EQ(GetCapturedStdout(), "<<< { f0, 42, 33, 0, 1, 4b, 2f, f7 }\n");
  EXPECT_EQ(e.pending.error_code, 13u);
  EXPECT_EQ(e.pending.flags, kFlagDeviceError);
  EXPECT_EQ(wait_for_reply(e.pending, kFlagLoadAck, 50), WaitOutcome::device_error);
}

TEST(Wait, Outcomes) {
  using Clock = std::chrono::steady_clock;
  {
    Engine e(kClear);
    e.pending.flags = kFlagClearAck;
    const auto start = Clock::now();
    EXPECT_EQ(wait_for_reply(e.pending, kFlagClearAck, 1000), WaitOutcome::received);
    // Even a reply already there is seen only after one 10 ms turn.
    const auto took = Clock::now() - start;
    EXPECT_GE(took, std::chrono::milliseconds(10));
    EXPECT_LT(took, std::chrono::milliseconds(500));
  }
  {
    Engine e(kClear);
    e.pending.flags = kFlagClearAck | kFlagDeviceError;
    EXPECT_EQ(wait_for_reply(e.pending, kFlagClearAck, 1000), WaitOutcome::device_error);
  }
  {
    Engine e(kClear);
    e.pending.flags = kFlagLoadAck;  // not in the mask
    const auto start = Clock::now();
    EXPECT_EQ(wait_for_reply(e.pending, kFlagClearAck, 100), WaitOutcome::timed_out);
    EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(100));
  }
  {
    Engine e(kModuleInfo);
    std::thread device([&] {
      std::this_thread::sleep_for(std::chrono::milliseconds(25));
      e.feed(test::module_info_reply(e.address, 0, {}));
    });
    EXPECT_EQ(wait_for_reply(e.pending, kFlagModulesDone, 1000), WaitOutcome::progressed);
    device.join();
    EXPECT_EQ(e.pending.index, 1u);
  }
  {
    // The reply was handled before the wait began: measured against the
    // index that was asked, it still counts as progress, not a time-out.
    Engine e(kModuleInfo);
    e.feed(test::module_info_reply(e.address, 0, {}));
    EXPECT_EQ(wait_for_reply(e.pending, kFlagModulesDone, 100, 0), WaitOutcome::progressed);
  }
}

TEST(Dump, Format) {
  const uint8_t bytes[] = {0xF0, 0x00, 0x7F, 0xF7};
  EXPECT_EQ(dump_text(">>> ", bytes, 4), ">>> { f0, 0, 7f, f7 }");
  CaptureStdout();
  dump_message("<<< ", bytes, 0);
  dump_message("<<< ", bytes, 1);
  EXPECT_EQ(GetCapturedStdout(), "<<< {  }<<< { f0 }\n");
}

}  // namespace
}  // namespace quave
