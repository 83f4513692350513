// The handshake against a device that answers through the sender hook.
#include <gtest/gtest.h>

#include <chrono>

#include "device/device_interface.hpp"
#include "tests/device/fake_device.hpp"

namespace quave {
namespace {

using testing::internal::CaptureStderr;
using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStderr;
using testing::internal::GetCapturedStdout;

std::string hex(const Message& m) { return dump_text("", m.data(), m.size()); }

TEST(Handshake, RefusesSilently) {
  std::vector<Message> sent;
  DeviceInterface closed(kOptionVerbose);
  closed.sender = [&](const Message& m) { sent.push_back(m); };
  DeviceInterface busy(kOptionVerbose);
  busy.state |= kStatePortsOpen;
  busy.sender = closed.sender;
  busy.pending.kind = kClear;

  CaptureStdout();
  CaptureStderr();
  EXPECT_FALSE(closed.handshake());
  EXPECT_FALSE(busy.handshake());
  EXPECT_EQ(GetCapturedStderr(), "");
  EXPECT_EQ(GetCapturedStdout(), "");
  EXPECT_TRUE(sent.empty());
  EXPECT_EQ(busy.pending.kind, kClear);
}

TEST(Handshake, WalksEveryModuleAndSlotAndNarrates) {
  DeviceInterface device(kOptionVerbose);
  test::FakeDevice fake;
  fake.attach(device);
  CaptureStdout();
  CaptureStderr();
  ASSERT_TRUE(device.handshake());
  EXPECT_EQ(GetCapturedStderr(), "");
  EXPECT_EQ(GetCapturedStdout(),
            "> Device: vestrel\n"
            "> System version: 1.10\n"
            "> Quave API version: 1.01-0\n"
            "> Available modules:\n"
            "\n"
            "Global: [ slot_count: 0, max_payload_size: 0, max_load_size: 0 ]\n"
            "Modulation FX: [ slot_count: 2, max_payload_size: 16384, max_load_size: 24576 ]\n"
            "Delay FX: [ slot_count: 0, max_payload_size: 0, max_load_size: 0 ]\n"
            "Reverb FX: [ slot_count: 0, max_payload_size: 0, max_load_size: 0 ]\n"
            "Oscillator: [ slot_count: 1, max_payload_size: 32768, max_load_size: 49152 ]\n"
            "\n"
            "> Status:\n"
            "\n"
            "Modulation FX 0: \"chorus\" v1.00-0 api:1.01-0 did:00000044 uid:00000007\n"
            "Modulation FX 1: free.\n"
            "\n"
            "Oscillator 0: free.\n"
            "\n");

  // Channel 2 is merged into byte 2 of every request after the search.
  const std::vector<std::string> expected = {
      "{ f0, 42, 50, 0, 55, f7 }",
      "{ f0, 42, 32, 0, 1, 4b, 17, f7 }",
      "{ f0, 42, 32, 0, 1, 4b, 18, 0, f7 }",
      "{ f0, 42, 32, 0, 1, 4b, 18, 1, f7 }",
      "{ f0, 42, 32, 0, 1, 4b, 18, 2, f7 }",
      "{ f0, 42, 32, 0, 1, 4b, 18, 3, f7 }",
      "{ f0, 42, 32, 0, 1, 4b, 18, 4, f7 }",
      "{ f0, 42, 32, 0, 1, 4b, 19, 1, 0, f7 }",
      "{ f0, 42, 32, 0, 1, 4b, 19, 1, 1, f7 }",
      "{ f0, 42, 32, 0, 1, 4b, 19, 4, 0, f7 }",
  };
  std::vector<std::string> sent;
  for (const auto& r : fake.requests) sent.push_back(hex(r));
  EXPECT_EQ(sent, expected);

  EXPECT_TRUE(device.state & kStateHandshakeComplete);
  EXPECT_EQ(device.pending.kind, 0u);
  EXPECT_EQ(device.pending.index, 0u);
  EXPECT_EQ(device.pending.error_code, 0u);
  EXPECT_EQ(device.info.platform, 1);
  EXPECT_EQ(device.info.slots[1][0].bytes[18], 'c');
  EXPECT_TRUE(device.info.slots[1][1].is_free());
}

TEST(Handshake, ModulesWithoutSlotsOrInfoAreNotAsked) {
  DeviceInterface device(kOptionVerbose);
  test::FakeDevice fake;
  fake.modules = {{}, {}, {}, test::module_data(1, 1, 1), {}};
  fake.slots[3] = {{}};
  fake.attach(device);
  CaptureStdout();
  ASSERT_TRUE(device.handshake());
  const std::string out = GetCapturedStdout();
  EXPECT_NE(out.find("Global: no info.\nModulation FX: no info.\n"), std::string::npos) << out;
  EXPECT_NE(out.find("> Status:\n\nReverb FX 0: free.\n\n"), std::string::npos) << out;
  ASSERT_EQ(fake.requests.size(), 8u);  // search, api, five modules, one slot
  EXPECT_EQ(hex(fake.requests.back()), "{ f0, 42, 32, 0, 1, 4b, 19, 3, 0, f7 }");

  DeviceInterface none(kOptionVerbose);
  test::FakeDevice empty;
  empty.modules.assign(5, {});
  empty.attach(none);
  CaptureStdout();
  ASSERT_TRUE(none.handshake());
  const std::string none_out = GetCapturedStdout();
  const std::string tail = "Oscillator: no info.\n\n> Status:\n\n";
  ASSERT_GE(none_out.size(), tail.size());
  EXPECT_EQ(none_out.substr(none_out.size() - tail.size()), tail);
  EXPECT_EQ(empty.requests.size(), 7u);
}

TEST(Handshake, MoreThanSixteenSlotsAsksSixteen) {
  DeviceInterface device(0);
  test::FakeDevice fake;
  fake.modules = {{}, {}, {}, {}, test::module_data(1, 1, 20)};
  fake.slots[4].assign(20, {});
  fake.attach(device);
  CaptureStdout();
  ASSERT_TRUE(device.handshake());
  EXPECT_EQ(GetCapturedStdout(), "");  // verbose off: silent
  EXPECT_EQ(fake.requests.size(), 7u + 16u);
  EXPECT_EQ(hex(fake.requests.back()), "{ f0, 42, 32, 0, 1, 4b, 19, 4, f, f7 }");
}

TEST(Handshake, DeviceErrorsEndIt) {
  struct Case {
    const char* what;
    std::function<void(const Message&, std::vector<Message>&)> tamper;
    const char* line;
    size_t requests;  // 0: depends on when the repeat lands
  };
  const DeviceAddress a = test::FakeDevice().address();
  const Case cases[] = {
      {"api platform 4",
       [a](const Message& r, std::vector<Message>& out) {
         if (r.size() > 6 && r[6] == 0x17) out = {test::api_reply(a, 4, 1, 1, 0)};
       },
       "Error: Got user api reply for wrong target platform.\n", 2},
      {"wrong module",
       [a](const Message& r, std::vector<Message>& out) {
         if (r.size() > 7 && r[6] == 0x18 && r[7] == 2) out = {test::module_info_reply(a, 3, {})};
       },
       "Error: Got module info with invalid module ID.\n", 5},
      {"wrong slot",
       [a](const Message& r, std::vector<Message>& out) {
         if (r.size() > 8 && r[6] == 0x19 && r[8] == 1) out = {test::slot_status_reply(a, 1, 0, {})};
       },
       "Error: Got slot status with invalid slot ID.\n", 9},
      // A repeated reply arrives after the index has moved on.
      {"module reply twice",
       [](const Message& r, std::vector<Message>& out) {
         if (r.size() > 7 && r[6] == 0x18 && r[7] == 0) out.push_back(out.front());
       },
       "Error: Got module info with invalid module ID.\n", 0},
  };
  for (const auto& c : cases) {
    DeviceInterface device(0);
    test::FakeDevice fake;
    fake.tamper = c.tamper;
    fake.attach(device);
    CaptureStderr();
    EXPECT_FALSE(device.handshake()) << c.what;
    EXPECT_EQ(GetCapturedStderr(), c.line) << c.what;
    if (c.requests) {
      EXPECT_EQ(fake.requests.size(), c.requests) << c.what;
    }
    EXPECT_FALSE(device.state & kStateHandshakeComplete);
    EXPECT_EQ(device.pending.kind, 0u);
    EXPECT_EQ(device.pending.index, 0u);
    EXPECT_EQ(device.pending.error_code, 0u);
    EXPECT_FALSE(device.pending.flags & kFlagDeviceError);
  }
}

// Each step's own time-out line; the slot step borrows the module step's
// words. Every case waits out one full second.
TEST(Handshake, TimeOutsPerStep) {
  struct Case {
    uint8_t silent_function;  // 0x50 stands for the search
    const char* line;
  };
  const Case cases[] = {
      {0x50, "Error: Search device request timed out.\n"},
      {0x17, "Error: API version request timed out.\n"},
      {0x18, "Error: Module info request timed out.\n"},
      {0x19, "Error: Module info request timed out.\n"},
  };
  for (const auto& c : cases) {
    DeviceInterface device(0);
    test::FakeDevice fake;
    fake.tamper = [&](const Message& r, std::vector<Message>& out) {
      const uint8_t function = r.size() == 6 ? 0x50 : r[6];
      if (function == c.silent_function) out.clear();
    };
    fake.attach(device);
    CaptureStderr();
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(device.handshake());
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1000));
    EXPECT_EQ(GetCapturedStderr(), c.line);
  }
}

TEST(Handshake, DebugDumpsRequestsAndAcceptedReplies) {
  DeviceInterface device(kOptionDebug);
  test::FakeDevice fake;
  fake.modules.assign(5, {});
  fake.attach(device);
  CaptureStdout();
  ASSERT_TRUE(device.handshake());
  const std::string out = GetCapturedStdout();
  EXPECT_EQ(out.rfind(">>> { f0, 42, 50, 0, 55, f7 }\n"
                      "<<< { f0, 42, 50, 1, 2, 55, 4b, 1, 0, 0, 1, 0, a, 0, f7 }\n"
                      ">>> { f0, 42, 32, 0, 1, 4b, 17, f7 }\n",
                      0),
            0u)
      << out;
  EXPECT_NE(out.find(">>> { f0, 42, 32, 0, 1, 4b, 18, 4, f7 }\n"
                     "<<< { f0, 42, 32, 0, 1, 4b, 48, 4, 0, f7 }\n"),
            std::string::npos);
}

// A late copy of the final reply of each step, saying something else, must
// not touch the records the command's thread is reading by then.
TEST(Handshake, LateCopiesOfFinalRepliesLeaveRecordsAlone) {
  DeviceInterface device(0);
  test::FakeDevice fake;
  const DeviceAddress a = fake.address();
  fake.tamper = [a](const Message& r, std::vector<Message>& out) {
    if (r.size() == 6) out.push_back(test::search_reply(2, 0x4B, 9, 9));
    else if (r[6] == 0x17) out.push_back(test::api_reply(a, 1, 1, 7, 7));
    else if (r[6] == 0x18 && r[7] == 4) out.push_back(test::module_info_reply(a, 4, test::module_data(1, 1, 1)));
    else if (r[6] == 0x19 && r[7] == 4) out.push_back(test::slot_status_reply(a, 4, 0, test::slot_data(4, "late")));
  };
  fake.attach(device);
  ASSERT_TRUE(device.handshake());
  EXPECT_EQ(device.info.system_major(), 1);
  EXPECT_EQ(device.info.api_minor(), 1);
  EXPECT_EQ(device.info.api_patch(), 0);
  EXPECT_EQ(device.info.modules[4].max_payload_size(), 32768u);
  EXPECT_EQ(device.info.modules[4].slot_count(), 1);
  EXPECT_TRUE(device.info.slots[4][0].is_free());
}

}  // namespace
}  // namespace quave
