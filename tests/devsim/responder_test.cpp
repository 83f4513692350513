#include "tools/devsim/model/responder.hpp"

#include <gtest/gtest.h>

namespace devsim {
namespace {

using Bytes = std::vector<uint8_t>;

const Bytes kStatus{0xF0, 0x42, 0x30, 0x00, 0x01, 0x4B, 0x23, 0xF7};
const Bytes kSlotReply{0xF0, 0x42, 0x30, 0x00, 0x01, 0x4B, 0x49, 0x04, 0x0F, 0x00, 0xF7};

std::vector<Bytes> shaped(const KindFaults& f, const Bytes& reply) {
  std::vector<Bytes> out;
  for (const Outgoing& o : shape_replies(f, {reply})) {
    EXPECT_EQ(o.delay_ms, f.delay_ms);
    out.push_back(o.bytes);
  }
  return out;
}

TEST(ShapeReplies, ByteLevelFaults) {
  struct Row {
    const char* what;
    KindFaults f;
    Bytes in;
    std::vector<Bytes> out;
  };
  KindFaults none, module, slot, cut, cut_all, longer, rt, delayed;
  module.wrong_module = true;
  slot.wrong_slot = true;
  cut.truncate = 2;
  cut_all.truncate = 100;
  longer.overlong = 3;
  rt.realtime = true;
  delayed.delay_ms = 250;
  const Row rows[] = {
      {"untouched", none, kStatus, {kStatus}},
      {"module 4 becomes 0", module, kSlotReply,
       {{0xF0, 0x42, 0x30, 0x00, 0x01, 0x4B, 0x49, 0x00, 0x0F, 0x00, 0xF7}}},
      {"status replies have no module", module, kStatus, {kStatus}},
      {"next slot", slot, kSlotReply, {{0xF0, 0x42, 0x30, 0x00, 0x01, 0x4B, 0x49, 0x04, 0x10, 0x00, 0xF7}}},
      {"two bytes cut", cut, kStatus, {{0xF0, 0x42, 0x30, 0x00, 0x01, 0xF7}}},
      {"cut keeps start, one byte, end", cut_all, kStatus, {{0xF0, 0x42, 0xF7}}},
      {"zeros before the end", longer, kStatus,
       {{0xF0, 0x42, 0x30, 0x00, 0x01, 0x4B, 0x23, 0x00, 0x00, 0x00, 0xF7}}},
      {"clock, clock, sensing", rt, kStatus,
       {{0xF0, 0xF8, 0x42, 0x30, 0xF8, 0x00, 0x01, 0x4B, 0x23, 0xFE, 0xF7}}},
      {"late", delayed, kStatus, {kStatus}},
  };
  for (const Row& r : rows) EXPECT_EQ(shaped(r.f, r.in), r.out) << r.what;
}

TEST(ShapeReplies, NoiseComesBeforeEachCopy) {
  KindFaults f;
  f.noise = true;
  f.twice = true;
  const auto out = shaped(f, kStatus);
  const auto noise = noise_before(kStatus);
  ASSERT_EQ(noise.size(), 4u);
  std::vector<Bytes> expected = noise;
  expected.push_back(kStatus);
  expected.insert(expected.end(), noise.begin(), noise.end());
  expected.push_back(kStatus);
  EXPECT_EQ(out, expected);
  // No noise message may pass for one of the device's replies.
  for (const Bytes& n : noise) EXPECT_FALSE(n.size() > 1 && n[0] == 0xF0 && n[1] == 0x42);
}

TEST(Respond, SilenceAndForcedStatusLeaveTheSlotsAlone) {
  SimConfig config;
  config.faults[index_of(Kind::slot_clear)].status = 0x24;
  config.faults[index_of(Kind::module_clear)].silent = true;
  config.preloads.push_back({4, 0, SlotRecord{4, 1}});
  SimDevice device(config);

  const auto slot_clear = respond(device, config, {0xF0, 0x42, 0x30, 0x00, 0x01, 0x4B, 0x1B, 0x04, 0x00, 0xF7});
  ASSERT_EQ(slot_clear.size(), 1u);
  EXPECT_EQ(slot_clear[0].bytes, (Bytes{0xF0, 0x42, 0x30, 0x00, 0x01, 0x4B, 0x24, 0xF7}));
  EXPECT_TRUE(respond(device, config, {0xF0, 0x42, 0x30, 0x00, 0x01, 0x4B, 0x1D, 0x04, 0xF7}).empty());
  EXPECT_EQ(device.slot(4, 0)[0], 4);
  // Messages for nobody get nothing, whatever the faults.
  EXPECT_TRUE(respond(device, config, {0x90, 0x3C, 0x40}).empty());
}

}  // namespace
}  // namespace devsim
