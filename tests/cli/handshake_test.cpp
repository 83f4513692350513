// The handshake against a fake device, shown through the command's narrator.
#include <gtest/gtest.h>

#include "cli/console_narrator.hpp"
#include "display/link_texts.hpp"
#include "display/probe_report.hpp"
#include "tests/device/fake_device.hpp"

namespace quave {
namespace {

using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;
using test::FakeDevice;

std::string hex(const Message& m) { return dump_text("", m.data(), m.size()); }

struct Handshook {
  FakeDevice device;  // as the handshake left it
  Outcome outcome;
  DeviceInfo info;
  std::string out;
};

enum Shown { quiet, verbose, debug };

Handshook handshake(std::unique_ptr<FakeDevice> fake, Shown shown = quiet) {
  ConsoleNarrator narrator(shown == verbose, shown == debug);
  FakeDevice* device = fake.get();
  DeviceInterface interface(std::move(fake), narrator);
  CaptureStdout();
  const Outcome outcome = interface.handshake();
  return {*device, outcome, interface.info(), GetCapturedStdout()};
}

TEST(Handshake, AsksEveryModuleAndSlotAndNarrates) {
  const Handshook run = handshake(std::make_unique<FakeDevice>(), verbose);
  ASSERT_TRUE(run.outcome.ok());
  EXPECT_EQ(run.out,
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
  for (const auto& r : run.device.requests) sent.push_back(hex(r));
  EXPECT_EQ(sent, expected);
  EXPECT_EQ(run.info.platform, 1);
  EXPECT_EQ(run.info.slots[1][0].bytes[18], 'c');
  EXPECT_TRUE(run.info.slots[1][1].is_free());
}

TEST(Handshake, WhichSlotsAreAsked) {
  struct Case {
    const char* what;
    std::vector<std::vector<uint8_t>> modules;
    size_t requests;
    std::string last;
  };
  const Case cases[] = {
      // Modules without info or without slots are not asked.
      {"one module with a slot", {{}, {}, {}, test::module_data(1, 1, 1), {}}, 8,
       "{ f0, 42, 32, 0, 1, 4b, 19, 3, 0, f7 }"},
      {"none", {{}, {}, {}, {}, {}}, 7, "{ f0, 42, 32, 0, 1, 4b, 18, 4, f7 }"},
      // Only sixteen records per module.
      {"twenty slots", {{}, {}, {}, {}, test::module_data(1, 1, 20)}, 7 + 16,
       "{ f0, 42, 32, 0, 1, 4b, 19, 4, f, f7 }"},
  };
  for (const Case& c : cases) {
    auto fake = std::make_unique<FakeDevice>();
    fake->modules = c.modules;
    fake->slots.assign(5, std::vector<std::vector<uint8_t>>(20));
    const Handshook run = handshake(std::move(fake));
    ASSERT_TRUE(run.outcome.ok()) << c.what;
    EXPECT_EQ(run.out, "") << c.what;  // quiet without verbose
    EXPECT_EQ(run.device.requests.size(), c.requests) << c.what;
    EXPECT_EQ(hex(run.device.requests.back()), c.last) << c.what;
  }
}

TEST(Handshake, EndsAtTheFirstFailure) {
  const DeviceAddress a = FakeDevice().address();
  using Tamper = std::function<void(const Message&, std::vector<Message>&)>;
  struct Case {
    const char* what;
    Tamper tamper;
    Outcome outcome;
    size_t requests;
  };
  const auto on = [](uint8_t function, int byte7, auto replies) {
    return [=](const Message& r, std::vector<Message>& out) {
      const uint8_t f = r.size() == 6 ? 0x50 : r[6];
      if (f == function && (byte7 < 0 || r[7] == byte7)) out = replies(out);
    };
  };
  const auto silent = [](auto&) { return std::vector<Message>{}; };
  const Case cases[] = {
      {"api platform 4", on(0x17, -1, [a](auto&) { return std::vector<Message>{test::api_reply(a, 4, 1, 1, 0)}; }),
       {Fault::device_error, kApiVersion, kErrorWrongPlatform}, 2},
      {"wrong module", on(0x18, 2, [a](auto&) { return std::vector<Message>{test::module_info_reply(a, 3, {})}; }),
       {Fault::device_error, kModuleInfo, kErrorInvalidModule}, 5},
      {"wrong slot", on(0x19, 1, [a](auto&) { return std::vector<Message>{test::slot_status_reply(a, 1, 0, {})}; }),
       {Fault::device_error, kSlotStatus, kErrorInvalidSlot}, 9},
      // The copy is taken as the next module's answer.
      {"module reply twice", on(0x18, 0, [](auto& out) { return std::vector<Message>{out[0], out[0]}; }),
       {Fault::device_error, kModuleInfo, kErrorInvalidModule}, 4},
      {"no search reply", on(0x50, -1, silent), {Fault::timed_out, kSearchDevice}, 1},
      {"no api reply", on(0x17, -1, silent), {Fault::timed_out, kApiVersion}, 2},
      {"no module reply", on(0x18, 3, silent), {Fault::timed_out, kModuleInfo}, 6},
      {"no slot reply", on(0x19, 4, silent), {Fault::timed_out, kSlotStatus}, 10},
  };
  for (const Case& c : cases) {
    auto fake = std::make_unique<FakeDevice>();
    fake->tamper = c.tamper;
    const Handshook run = handshake(std::move(fake));
    EXPECT_EQ(run.outcome.fault, c.outcome.fault) << c.what;
    EXPECT_EQ(run.outcome.request, c.outcome.request) << c.what;
    EXPECT_EQ(run.outcome.code, c.outcome.code) << c.what;
    EXPECT_EQ(run.device.requests.size(), c.requests) << c.what;
    // Each request waits a second for its answer.
    if (c.outcome.fault == Fault::timed_out) {
      EXPECT_EQ(run.device.clock - run.device.sent_at.back(), std::chrono::seconds(1)) << c.what;
    }
  }
}

TEST(Handshake, DebugDumpsRequestsAndTakenReplies) {
  auto fake = std::make_unique<FakeDevice>();
  fake->modules.assign(5, {});
  const Handshook run = handshake(std::move(fake), debug);
  ASSERT_TRUE(run.outcome.ok());
  EXPECT_EQ(run.out.rfind(">>> { f0, 42, 50, 0, 55, f7 }\n"
                          "<<< { f0, 42, 50, 1, 2, 55, 4b, 1, 0, 0, 1, 0, a, 0, f7 }\n"
                          ">>> { f0, 42, 32, 0, 1, 4b, 17, f7 }\n",
                          0),
            0u)
      << run.out;
  EXPECT_NE(run.out.find(">>> { f0, 42, 32, 0, 1, 4b, 18, 4, f7 }\n"
                         "<<< { f0, 42, 32, 0, 1, 4b, 48, 4, 0, f7 }\n"),
            std::string::npos);
}

// The search reply's family says what the device is; an API reply that
// names another model changes neither the verbose line nor the report.
TEST(Handshake, TheModelIsTheFamilys) {
  auto fake = std::make_unique<FakeDevice>();
  fake->family_low = 0x51;
  fake->api_platform = 1;
  const Handshook run = handshake(std::move(fake), verbose);
  ASSERT_TRUE(run.outcome.ok());
  EXPECT_EQ(run.out.rfind("> Device: halvane rx\n", 0), 0u) << run.out;
  EXPECT_EQ(probe_report(run.info, std::nullopt).rfind("> Device: halvane rx\n", 0), 0u);
}

// A late copy of each step's last reply, saying something else, is no
// answer to the next request and changes nothing.
TEST(Handshake, LateCopiesOfRepliesLeaveRecordsAlone) {
  auto fake = std::make_unique<FakeDevice>();
  const DeviceAddress a = fake->address();
  fake->tamper = [a](const Message& r, std::vector<Message>& out) {
    if (r.size() == 6) out.push_back(test::search_reply(2, 0x4B, 9, 9));
    else if (r[6] == 0x17) out.push_back(test::api_reply(a, 1, 1, 7, 7));
    else if (r[6] == 0x18 && r[7] == 4) out.push_back(test::module_info_reply(a, 4, test::module_data(1, 1, 1)));
  };
  const Handshook run = handshake(std::move(fake));
  ASSERT_TRUE(run.outcome.ok());
  EXPECT_EQ(run.info.system_major(), 1);
  EXPECT_EQ(run.info.api_minor(), 1);
  EXPECT_EQ(run.info.modules[4].max_payload_size(), 32768u);
}

}  // namespace
}  // namespace quave
