// Request templates as sent, and which inbound messages count as which reply.
#include <gtest/gtest.h>

#include "device/protocol/messages.hpp"
#include "tests/device/fake_device.hpp"

namespace quave {
namespace {

using test::api_reply;
using test::module_info_reply;
using test::search_reply;
using test::slot_status_reply;
using test::status_reply;

const DeviceAddress kTo{5, {0x00, 0x01, 0x51}};

TEST(Requests, TemplatesFilledIn) {
  struct Case {
    const char* what;
    Message built;
    Message expected;
  };
  const Case cases[] = {
      {"search", make_search_device_request(), {0xF0, 0x42, 0x50, 0x00, 0x55, 0xF7}},
      {"api", make_api_version_request(kTo), {0xF0, 0x42, 0x35, 0x00, 0x01, 0x51, 0x17, 0xF7}},
      {"module info",
       make_module_info_request(kTo, 4),
       {0xF0, 0x42, 0x35, 0x00, 0x01, 0x51, 0x18, 0x04, 0xF7}},
      {"slot status",
       make_slot_status_request(kTo, 3, 15),
       {0xF0, 0x42, 0x35, 0x00, 0x01, 0x51, 0x19, 0x03, 0x0F, 0xF7}},
      // Clears keep byte 2 at 0x30 whatever the channel.
      {"slot clear",
       make_slot_clear_request(kTo, 2, 7),
       {0xF0, 0x42, 0x30, 0x00, 0x01, 0x51, 0x1B, 0x02, 0x07, 0xF7}},
      {"module clear",
       make_module_clear_request(kTo, 0),
       {0xF0, 0x42, 0x30, 0x00, 0x01, 0x51, 0x1D, 0x00, 0xF7}},
      // Image length 2 and CRC 0x00000080, then the image.
      {"unit load",
       make_unit_load_request(kTo, 4, 9, {0x80, 0x01}, 0x80),
       {0xF0, 0x42, 0x30, 0x00, 0x01, 0x51, 0x4A, 0x04, 0x09,
        0x10, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x01, 0xF7}},
  };
  for (const auto& c : cases) EXPECT_EQ(c.built, c.expected) << c.what;
}

TEST(Recognition, SearchDeviceReply) {
  Message ok = search_reply(0x09, 0x57, 1, 2);
  EXPECT_TRUE(is_search_device_reply(ok));

  Message longer = ok;
  longer.insert(longer.end() - 1, 0x00);
  EXPECT_FALSE(is_search_device_reply(longer));
  Message shorter(ok.begin() + 1, ok.end());
  EXPECT_FALSE(is_search_device_reply(shorter));

  Message high2 = ok;
  high2[7] = 0x02;
  EXPECT_FALSE(is_search_device_reply(high2));
  Message family = ok;
  family[6] = 0x4C;
  EXPECT_FALSE(is_search_device_reply(family));
  Message echo = ok;
  echo[5] = 0x54;
  EXPECT_FALSE(is_search_device_reply(echo));

  // A timing clock inside is removed before the length is counted.
  Message clocked = ok;
  clocked.insert(clocked.begin() + 7, 0xF8);
  EXPECT_FALSE(is_search_device_reply(clocked));
  EXPECT_EQ(strip_realtime_bytes(clocked), 15u);
  EXPECT_TRUE(is_search_device_reply(clocked));
}

TEST(Recognition, DeviceHeaderRepliesCheckLengthChannelAndModel) {
  const DeviceAddress other_channel{6, kTo.model_id};
  const DeviceAddress other_model{kTo.channel, {0x00, 0x01, 0x4B}};
  const DeviceAddress other_high{kTo.channel, {0x00, 0x02, 0x51}};

  using Check = bool (*)(const Message&, const DeviceAddress&);
  struct Case {
    const char* what;
    Check check;
    Message (*make)(const DeviceAddress&);
  };
  const Case cases[] = {
      {"api", is_api_version_reply, [](const DeviceAddress& a) { return api_reply(a, 1, 1, 0, 0); }},
      {"module", is_module_info_reply,
       [](const DeviceAddress& a) { return module_info_reply(a, 0, {}); }},
      {"slot", is_slot_status_reply,
       [](const DeviceAddress& a) { return slot_status_reply(a, 0, 0, {}); }},
      {"status", is_status_reply, [](const DeviceAddress& a) { return status_reply(a, 0x23); }},
  };
  for (const auto& c : cases) {
    EXPECT_TRUE(c.check(c.make(kTo), kTo)) << c.what;
    EXPECT_FALSE(c.check(c.make(other_channel), kTo)) << c.what;
    EXPECT_FALSE(c.check(c.make(other_model), kTo)) << c.what;
    EXPECT_FALSE(c.check(c.make(other_high), kTo)) << c.what;
    Message wrong_maker = c.make(kTo);
    wrong_maker[1] = 0x43;
    EXPECT_FALSE(c.check(wrong_maker, kTo)) << c.what;
  }

  // Length rules: exactly 12, at least 9, at least 10, at least 8.
  Message api = api_reply(kTo, 1, 1, 0, 0);
  api.insert(api.end() - 1, 0x00);
  EXPECT_FALSE(is_api_version_reply(api, kTo));
  Message api_no_end = api_reply(kTo, 1, 1, 0, 0);
  api_no_end[11] = 0x00;
  EXPECT_FALSE(is_api_version_reply(api_no_end, kTo));
  Message module = module_info_reply(kTo, 0, {});  // 10 bytes with its end byte
  module.pop_back();
  EXPECT_TRUE(is_module_info_reply(module, kTo));
  module.pop_back();
  EXPECT_FALSE(is_module_info_reply(module, kTo));
  Message slot = slot_status_reply(kTo, 0, 0, {});
  slot.pop_back();
  EXPECT_TRUE(is_slot_status_reply(slot, kTo));
  slot.pop_back();
  EXPECT_FALSE(is_slot_status_reply(slot, kTo));
  Message status = status_reply(kTo, 0x23);
  status.pop_back();
  EXPECT_FALSE(is_status_reply(status, kTo));

  // The function byte decides which data reply it is.
  EXPECT_FALSE(is_module_info_reply(slot_status_reply(kTo, 0, 0, {}), kTo));
  EXPECT_FALSE(is_slot_status_reply(module_info_reply(kTo, 0, {1, 2}), kTo));
}

}  // namespace
}  // namespace quave
