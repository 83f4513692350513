#include "tools/devsim/model/replies.hpp"

#include <gtest/gtest.h>

namespace devsim {
namespace {

using Bytes = std::vector<uint8_t>;

TEST(SevenBit, GroupsOfSevenLedByTheirTopBits) {
  const std::pair<Bytes, Bytes> rows[] = {
      {{}, {}},
      {{0x80}, {0x01, 0x00}},
      {{0x7F, 0xFF}, {0x02, 0x7F, 0x7F}},
      {Bytes(7, 0xFF), {0x7F, 0x7F, 0x7F, 0x7F, 0x7F, 0x7F, 0x7F, 0x7F}},
      // The eighth byte opens a second group with its own lead byte.
      {{0x01, 0x82, 0x03, 0x84, 0x05, 0x86, 0x07, 0x88},
       {0x2A, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x01, 0x08}},
  };
  for (const auto& [data, packed] : rows) {
    EXPECT_EQ(device_side::pack7(data), packed) << testing::PrintToString(data);
    // Unpacking reads up to the end byte, whatever follows it.
    Message message = {0xF0, 0x42};
    for (uint8_t b : packed) message.push_back(b);
    message.push_back(0xF7);
    message.push_back(0x01);
    EXPECT_EQ(device_side::unpack7(message, 2), data) << testing::PrintToString(data);
  }
}

// Another model and channel than the defaults, so that the header bytes come
// from the configuration.
TEST(Replies, HeaderCarriesChannelAndModel) {
  SimConfig config;
  config.platform = 3;
  config.channel = 5;
  config.api_major = 2;
  config.api_minor = 7;
  config.api_patch = 3;
  const std::pair<Message, Bytes> rows[] = {
      {search_reply(config, 0x55),
       {0xF0, 0x42, 0x50, 0x01, 0x05, 0x55, 0x57, 0x01, 0x00, 0x00, 0x01, 0x00, 0x0A, 0x00, 0xF7}},
      {api_version_reply(config), {0xF0, 0x42, 0x35, 0x00, 0x01, 0x57, 0x47, 0x03, 0x02, 0x07, 0x03, 0xF7}},
      {module_info_reply(config, 1, {}), {0xF0, 0x42, 0x35, 0x00, 0x01, 0x57, 0x48, 0x01, 0x00, 0xF7}},
      {slot_status_reply(config, 4, 15, {}),
       {0xF0, 0x42, 0x35, 0x00, 0x01, 0x57, 0x49, 0x04, 0x0F, 0x00, 0xF7}},
      {status_reply(config, kStatusFormat), {0xF0, 0x42, 0x35, 0x00, 0x01, 0x57, 0x2E, 0xF7}},
  };
  for (const auto& [reply, bytes] : rows) EXPECT_EQ(reply, bytes);
}

// What the device takes for a well-formed request of each function; the
// load and the replies' functions have no fixed length.
TEST(DeviceSide, RequestLengthsByFunction) {
  const std::pair<uint8_t, std::optional<size_t>> rows[] = {
      {0x17, 8}, {0x18, 9}, {0x19, 10}, {0x1B, 10}, {0x1D, 9},
      {0x4A, std::nullopt}, {0x47, std::nullopt}, {0x1A, std::nullopt},
  };
  for (const auto& [fn, length] : rows) EXPECT_EQ(device_side::request_length(fn), length) << int{fn};
}

TEST(DeviceSide, UnpackingPastTheEndGivesNothing) {
  const Message m = {0xF0, 0x42, 0xF7};
  EXPECT_EQ(device_side::unpack7(m, 4), std::nullopt);
  EXPECT_EQ(device_side::unpack7(m, 3), std::vector<uint8_t>{});
  // A lead byte with nothing after it carries no data.
  EXPECT_EQ(device_side::unpack7({0x7F, 0xF7}, 0), std::vector<uint8_t>{});
}

}  // namespace
}  // namespace devsim
