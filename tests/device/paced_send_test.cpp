// Cutting long SysEx into fragments and spacing them for the link.
#include <gtest/gtest.h>

#include <vector>

#include "device/midi/paced_send.hpp"

namespace quave {
namespace {

std::vector<uint8_t> sysex(size_t size) {
  std::vector<uint8_t> m(size, 0x55);
  m.front() = 0xF0;
  m.back() = 0xF7;
  return m;
}

TEST(PacedSend, EachBackendsPace) {
  struct Row {
    const char* what;
    Pacing pacing;
    size_t whole_up_to, fragment, burst;
    uint32_t bytes_per_second;
  };
  const auto jack = [](const char* version) {
    return pacing_for(MidiBackend::jack, true, jack_server_from(version));
  };
  const Row rows[] = {
      {"ALSA, found by name", pacing_for(MidiBackend::alsa, true), 256, 256, 2048, 65536},
      {"ALSA, given by index", pacing_for(MidiBackend::alsa, false), 256, 256, 2048, 3125},
      // Whole up to what RtMidi's ring buffer takes, then in fragments.
      {"jackd2", jack("1.9.21"), 16379, 4096, 0, 0},
      {"PipeWire 0.3", jack("3.0.0.0 (using PipeWire 0.3.65)"), 16379, 4096, 0, 0},
      // One event or nothing.
      {"PipeWire 1.4", jack("3.1.4.2 (using PipeWire 1.4.2)"), 8186, 0, 0, 0},
      {"other", pacing_for(MidiBackend::other, false), SIZE_MAX, 0, 0, 0},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(row.pacing.whole_up_to, row.whole_up_to) << row.what;
    EXPECT_EQ(row.pacing.fragment, row.fragment) << row.what;
    EXPECT_EQ(row.pacing.burst, row.burst) << row.what;
    EXPECT_EQ(row.pacing.bytes_per_second, row.bytes_per_second) << row.what;
  }
}

TEST(PacedSend, FragmentsCarryTheMessageBytesInOrder) {
  struct Row {
    size_t size;
    size_t fragment;
    std::vector<size_t> sends;
  };
  const Row rows[] = {
      {5000, 256, std::vector<size_t>(19, 256)},  // and one of 136
      {512, 256, {256, 256}},
      {256, 256, {256}},  // short: whole
      {18800, 4096, {4096, 4096, 4096, 4096}},  // and one of 2416
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.size);
    std::vector<size_t> expected = row.sends;
    size_t rest = row.size;
    for (size_t n : row.sends) rest -= n;
    if (rest) expected.push_back(rest);
    const std::vector<uint8_t> message = sysex(row.size);
    std::vector<std::vector<uint8_t>> sent;
    ASSERT_EQ(SendEnd::sent, send_paced(
        message.data(), message.size(), {row.fragment, row.fragment, 0, 0},
        [&](const uint8_t* b, size_t n) {
          sent.emplace_back(b, b + n);
          return true;
        },
        [](uint64_t) -> bool { ADD_FAILURE() << "no pause without a rate"; return true; }));
    std::vector<size_t> sizes;
    std::vector<uint8_t> joined;
    for (size_t i = 0; i < sent.size(); ++i) {
      sizes.push_back(sent[i].size());
      EXPECT_EQ(sent[i].front() == 0xF0, i == 0);
      EXPECT_EQ(sent[i].back() == 0xF7, i + 1 == sent.size());
      joined.insert(joined.end(), sent[i].begin(), sent[i].end());
    }
    EXPECT_EQ(sizes, expected);
    EXPECT_EQ(joined, message);
  }
}

TEST(PacedSend, ReleaseTimesKeepToTheRateAfterTheBurst) {
  const Pacing din{256, 256, 2048, 3125};
  EXPECT_EQ(release_us(0, din), 0u);
  EXPECT_EQ(release_us(2048, din), 0u);
  // 3125 bytes past the burst: one second at DIN speed.
  EXPECT_EQ(release_us(2048 + 3125, din), 1000000u);
  EXPECT_EQ(release_us(2048 + 256, din), 81920u);
  EXPECT_EQ(release_us(1u << 20, {4096, 4096, 0, 0}), 0u);
}

TEST(PacedSend, StopsAtTheFirstFailedSendOrWhenAPauseSaysSo) {
  const std::vector<uint8_t> message = sysex(4000);
  int sends = 0;
  EXPECT_EQ(SendEnd::failed, send_paced(
      message.data(), message.size(), {256, 256, 0, 0},
      [&](const uint8_t*, size_t) { return ++sends < 3; }, [](uint64_t) { return true; }));
  EXPECT_EQ(sends, 3);

  // Longer than one event where the link carries no fragments: nothing goes.
  sends = 0;
  EXPECT_EQ(SendEnd::failed, send_paced(
      message.data(), message.size(), {3999, 0, 0, 0},
      [&](const uint8_t*, size_t) { return ++sends > 0; }, [](uint64_t) { return true; }));
  EXPECT_EQ(sends, 0);

  // At DIN pace the tenth fragment waits; the pause ends the sending there.
  sends = 0;
  int pauses = 0;
  EXPECT_EQ(SendEnd::stopped, send_paced(
      message.data(), message.size(), {256, 256, 2048, 3125},
      [&](const uint8_t*, size_t) { return ++sends > 0; }, [&](uint64_t) { return ++pauses < 2; }));
  EXPECT_EQ(sends, 9);
  EXPECT_EQ(pauses, 2);
}

}  // namespace
}  // namespace quave
