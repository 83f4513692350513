// Cutting long SysEx into fragments and spacing them for the link.
#include <gtest/gtest.h>

#include <vector>

#include "device/paced_send.hpp"

namespace quave {
namespace {

std::vector<uint8_t> sysex(size_t size) {
  std::vector<uint8_t> m(size, 0x55);
  m.front() = 0xF0;
  m.back() = 0xF7;
  return m;
}

TEST(PacedSend, FragmentsCarryTheMessageBytesInOrder) {
  struct Row {
    size_t size;
    Pacing pacing;
    size_t sends;
  };
  const Row rows[] = {
      {5000, pacing_for(MidiBackend::alsa, true), 20},   // 19 of 256 and one of 136
      {512, pacing_for(MidiBackend::alsa, false), 2},    // exactly two fragments
      {256, pacing_for(MidiBackend::alsa, true), 1},     // short: whole
      {18800, pacing_for(MidiBackend::jack, true), 5},
      {18800, pacing_for(MidiBackend::other, true), 1},  // never cut
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.size);
    const std::vector<uint8_t> message = sysex(row.size);
    std::vector<std::vector<uint8_t>> sent;
    Pacing unpaced = row.pacing;
    unpaced.bytes_per_second = 0;
    ASSERT_EQ(SendEnd::sent, send_paced(
        message.data(), message.size(), unpaced,
        [&](const uint8_t* b, size_t n) {
          sent.emplace_back(b, b + n);
          return true;
        },
        [](uint64_t) { FAIL() << "no pause without a rate"; }));
    ASSERT_EQ(sent.size(), row.sends);
    std::vector<uint8_t> joined;
    for (size_t i = 0; i < sent.size(); ++i) {
      // Every fragment but the last fills the encoder's buffer exactly.
      if (i + 1 < sent.size()) {
        EXPECT_EQ(sent[i].size(), row.pacing.fragment);
      }
      EXPECT_EQ(sent[i].front() == 0xF0, i == 0);
      EXPECT_EQ(sent[i].back() == 0xF7, i + 1 == sent.size());
      joined.insert(joined.end(), sent[i].begin(), sent[i].end());
    }
    EXPECT_EQ(joined, message);
  }
}

TEST(PacedSend, ReleaseTimesKeepToTheRateAfterTheBurst) {
  const Pacing din = pacing_for(MidiBackend::alsa, false);
  EXPECT_EQ(din.bytes_per_second, kDinBytesPerSecond);
  EXPECT_EQ(release_us(0, din), 0u);
  EXPECT_EQ(release_us(din.burst, din), 0u);
  // 3125 bytes past the burst: one second at DIN speed.
  EXPECT_EQ(release_us(din.burst + 3125, din), 1000000u);
  EXPECT_EQ(release_us(1u << 20, pacing_for(MidiBackend::jack, true)), 0u);
}

TEST(PacedSend, StopsAtTheFirstFailedSend) {
  const std::vector<uint8_t> message = sysex(2000);
  int sends = 0;
  EXPECT_EQ(SendEnd::failed, send_paced(
      message.data(), message.size(), {256, 0, 0},
      [&](const uint8_t*, size_t) { return ++sends < 3; }, [](uint64_t) {}));
  EXPECT_EQ(sends, 3);
}

}  // namespace
}  // namespace quave
