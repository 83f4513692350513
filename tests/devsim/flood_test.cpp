#include <gtest/gtest.h>

#include "device/protocol/messages.hpp"
#include "display/link_texts.hpp"
#include "tools/devsim/model/responder.hpp"

namespace devsim {
namespace {

using Bytes = std::vector<uint8_t>;

const quave::DeviceAddress kAddress{0, {0x00, 0x01, 0x4B}};

// One reply of each shape the program recognises, and its recogniser.
struct Shape {
  const char* what;
  Bytes reply;
  bool (*recognised)(const Bytes&);
};

const Shape kShapes[] = {
    {"search", {0xF0, 0x42, 0x50, 0x01, 0x00, 0x55, 0x4B, 0x01, 0, 0, 1, 0, 10, 0, 0xF7},
     [](const Bytes& m) { return quave::is_search_device_reply(m); }},
    {"api", {0xF0, 0x42, 0x30, 0x00, 0x01, 0x4B, 0x47, 0x01, 0x01, 0x01, 0x00, 0xF7},
     [](const Bytes& m) { return quave::is_api_version_reply(m, kAddress); }},
    {"module info", {0xF0, 0x42, 0x30, 0x00, 0x01, 0x4B, 0x48, 0x04, 0x00, 0xF7},
     [](const Bytes& m) { return quave::is_module_info_reply(m, kAddress); }},
    {"slot status", {0xF0, 0x42, 0x30, 0x00, 0x01, 0x4B, 0x49, 0x04, 0x00, 0x00, 0xF7},
     [](const Bytes& m) { return quave::is_slot_status_reply(m, kAddress); }},
    {"status", {0xF0, 0x42, 0x30, 0x00, 0x01, 0x4B, 0x23, 0xF7},
     [](const Bytes& m) { return quave::is_status_reply(m, kAddress); }},
};

TEST(Flood, NothingInItPassesForTheReply) {
  for (const Shape& shape : kShapes) {
    ASSERT_TRUE(shape.recognised(shape.reply)) << shape.what;
    for (Bytes m : flood_before(shape.reply, 24)) {
      quave::strip_realtime_bytes(m);
      EXPECT_FALSE(shape.recognised(m)) << shape.what << ": " << quave::dump_text("", m.data(), m.size());
    }
  }
}

TEST(Flood, IsPacedAndHoldsTheReplyBack) {
  KindFaults f;
  f.flood = 45;
  f.delay_ms = 100;
  f.twice = true;
  const Bytes reply = kShapes[4].reply;
  const std::vector<Outgoing> out = shape_replies(f, {reply});
  ASSERT_EQ(out.size(), 92u);
  EXPECT_EQ(out[45].bytes, reply);
  EXPECT_EQ(out[91].bytes, reply);
  std::vector<unsigned> per_ms(200, 0);
  for (size_t i = 0; i < out.size(); ++i) {
    if (i > 0) {
      EXPECT_GE(out[i].delay_ms, out[i - 1].delay_ms) << i;
    }
    ++per_ms.at(out[i].delay_ms);
  }
  for (unsigned n : per_ms) EXPECT_LE(n, kFloodPerMs + 1);
  // 45 messages take three turns of 20; the second flood goes on from there.
  EXPECT_EQ(out[45].delay_ms, 103u);
  EXPECT_EQ(out[91].delay_ms, 105u);
}

}  // namespace
}  // namespace devsim
