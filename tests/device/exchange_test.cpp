// One request and what comes back, on a fake link: every way a wait ends.
#include <gtest/gtest.h>

#include "base/interrupt.hpp"
#include "tests/device/fake_device.hpp"

namespace quave {
namespace {

using test::FakeDevice;
using test::Handshaken;

std::unique_ptr<FakeDevice> device_answering_loads(
    std::function<void(std::vector<Message>&, const DeviceAddress&)> replies) {
  auto fake = std::make_unique<FakeDevice>();
  const DeviceAddress a = fake->address();
  fake->tamper = [replies, a](const Message& r, std::vector<Message>& out) {
    if (r.size() > 6 && r[6] == kFnUnitLoadRequest) replies(out, a);
  };
  return fake;
}

Outcome load(Handshaken& h) {
  return h.interface.load_unit(test::unit_of(1, std::vector<uint8_t>(1200, 0x11), 0x1234), 0);
}

TEST(Exchange, HowTheWaitEnds) {
  using Replies = std::function<void(std::vector<Message>&, const DeviceAddress&)>;
  struct Case {
    const char* what;
    Replies replies;
    Fault fault;
    uint32_t code;
  };
  const Case cases[] = {
      {"acknowledged", [](auto&, auto&) {}, Fault::none, 0},
      {"device error", [](auto& out, auto& a) { out = {test::status_reply(a, 0x28)}; },
       Fault::device_error, kErrorCrc},
      {"silence", [](auto& out, auto&) { out.clear(); }, Fault::timed_out, 0},
      // The first answer decides, whatever follows it.
      {"error, then acknowledge",
       [](auto& out, auto& a) { out.insert(out.begin(), test::status_reply(a, 0x2F)); },
       Fault::device_error, kErrorInternal},
      {"acknowledge, then error",
       [](auto& out, auto& a) { out.push_back(test::status_reply(a, 0x2F)); }, Fault::none, 0},
      // Strays, another device's replies and a padded clock byte are no answer.
      {"strays before the answer",
       [](auto& out, auto& a) {
         Message clocked = test::status_reply(a, 0x23);
         clocked.insert(clocked.begin() + 3, 0xF8);
         out = {{0x90, 0x40, 0x7F}, {}, test::status_reply(DeviceAddress{7, a.model_id}, 0x28),
                test::search_reply(0, 0x4B, 1, 1), {0xF0, 0xF7}, clocked};
       },
       Fault::none, 0},
      {"status cut short",
       [](auto& out, auto& a) {
         out = {test::status_reply(a, 0x23)};
         out[0].pop_back();
       },
       Fault::timed_out, 0},
  };
  for (const Case& c : cases) {
    Handshaken h(device_answering_loads(c.replies));
    const Outcome outcome = load(h);
    EXPECT_EQ(outcome.fault, c.fault) << c.what;
    EXPECT_EQ(outcome.code, c.code) << c.what;
    EXPECT_EQ(h.device->requests.size(), 1u) << c.what;
    if (!outcome.ok()) {
      EXPECT_EQ(outcome.request, kUnitLoad) << c.what;
    }
  }
}

// A load may wait five seconds, and no longer, counted from its sending.
TEST(Exchange, TimeOutRunsFromTheSend) {
  Handshaken h(device_answering_loads([](auto& out, auto&) { out.clear(); }));
  ASSERT_EQ(load(h).fault, Fault::timed_out);
  EXPECT_EQ(h.device->clock - h.device->sent_at.back(), std::chrono::seconds(5));
}

TEST(Exchange, UnrecognisedStatusIsToldAndTheWaitGoesOn) {
  Handshaken h(device_answering_loads(
      [](auto& out, auto& a) { out.insert(out.begin(), test::status_reply(a, 0x25)); }));
  EXPECT_TRUE(load(h).ok());
  const auto& heard = h.narrator.heard;
  ASSERT_EQ(heard.size(), 4u);
  EXPECT_EQ(heard[0].substr(0, 3), ">> ");
  EXPECT_EQ(heard[1], "<< f0 42 32 00 01 4b 25 f7");
  EXPECT_EQ(heard[2], "status 37");
  EXPECT_EQ(heard[3], "<< f0 42 32 00 01 4b 23 f7");
}

TEST(Exchange, TheLinkFailing) {
  struct Case {
    FakeDevice::Fate fate;
    Fault fault;
  };
  // Gone as the load goes out, or while its answer is awaited (the answer
  // itself is withheld); stalled as it goes out.
  for (const Case& c : {Case{{0, FakeDevice::Fate::gone}, Fault::gone},
                        Case{{0, FakeDevice::Fate::stalled}, Fault::stalled}}) {
    Handshaken h(device_answering_loads([](auto& out, auto&) { out.clear(); }));
    h.device->fate = c.fate;
    const Outcome outcome = load(h);
    EXPECT_EQ(outcome.fault, c.fault);
    EXPECT_EQ(outcome.request, kUnitLoad);
    // Gone is seen at the first look, a tenth of a second on, not at the
    // time-out.
    EXPECT_LE(h.device->clock - h.device->sent_at.back(), std::chrono::milliseconds(100));
  }
}

TEST(Exchange, InterruptionEndsTheWait) {
  Handshaken h(device_answering_loads([](auto& out, auto&) { out.clear(); }));
  h.device->fate = {0, FakeDevice::Fate::interrupted};
  try {
    load(h);
    FAIL() << "no interruption";
  } catch (const Interrupted& interrupted) {
    EXPECT_EQ(interrupted.signal, 2);
  }
}

// A request longer than the link carries is refused before any of it goes,
// so the device is not left inside a SysEx message: the next request works.
TEST(Exchange, ARequestTooLongForTheLinkIsRefusedUnsent) {
  Handshaken h;
  h.device->largest = 1390;
  // 1208 bytes of load data pack into 1381, in a request of 1391.
  const Outcome outcome = load(h);
  EXPECT_EQ(outcome.fault, Fault::too_long);
  EXPECT_EQ(outcome.request, kUnitLoad);
  EXPECT_EQ(outcome.length, 1391u);
  EXPECT_EQ(outcome.largest, 1390u);
  EXPECT_TRUE(h.device->requests.empty());
  EXPECT_TRUE(h.narrator.heard.empty());
  EXPECT_TRUE(h.interface.clear_slot(1, 0).ok());

  h.device->largest = 1391;
  EXPECT_TRUE(load(h).ok());
}

// What came while nothing was asked is shown, never taken as an answer.
TEST(Exchange, MessagesWhileIdleAreNotAnswers) {
  Handshaken h(device_answering_loads([](auto& out, auto&) { out.clear(); }));
  h.device->inbox.push_back(test::status_reply(h.device->address(), 0x23));
  EXPECT_EQ(load(h).fault, Fault::timed_out);
  EXPECT_EQ(h.narrator.heard.front(), "<< f0 42 32 00 01 4b 23 f7");
}

}  // namespace
}  // namespace quave
