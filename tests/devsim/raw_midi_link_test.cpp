// Reassembling SysEx from a kernel port's byte stream.
#include <gtest/gtest.h>

#include "tools/devsim/transport/raw_midi_link.hpp"

namespace devsim {
namespace {

TEST(SysexAssembler, CutsTheStreamIntoMessages) {
  using Bytes = std::vector<uint8_t>;
  struct Row {
    const char* what;
    std::vector<Bytes> chunks;
    std::vector<quave::Message> messages;
  };
  const Row rows[] = {
      {"one message split over reads", {{0xF0, 0x42}, {0x30}, {0x01, 0xF7}},
       {{0xF0, 0x42, 0x30, 0x01, 0xF7}}},
      {"real-time bytes inside are dropped", {{0xF0, 0xF8, 0x42, 0xFE, 0xF7}}, {{0xF0, 0x42, 0xF7}}},
      {"a status byte abandons the message", {{0xF0, 0x42, 0x90, 0x40, 0x7F, 0xF7}}, {}},
      {"a new start begins again", {{0xF0, 0x11, 0xF0, 0x22, 0xF7, 0xF0, 0x33, 0xF7}},
       {{0xF0, 0x22, 0xF7}, {0xF0, 0x33, 0xF7}}},
      {"bytes outside a message are ignored", {{0x40, 0xF7, 0x7F}}, {}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    SysexAssembler assembler;
    std::vector<quave::Message> done;
    for (const Bytes& chunk : row.chunks) assembler.feed(chunk.data(), chunk.size(), done);
    EXPECT_EQ(done, row.messages);
  }
}

}  // namespace
}  // namespace devsim
