#include "device/protocol/messages.hpp"

#include <gtest/gtest.h>

namespace quave {
namespace {

std::vector<uint8_t> bytes(std::initializer_list<int> v) {
  std::vector<uint8_t> out;
  for (int b : v) out.push_back(static_cast<uint8_t>(b));
  return out;
}

TEST(Crc32, CheckValueOfDigits) {
  const char digits[] = "123456789";
  EXPECT_EQ(crc32(reinterpret_cast<const uint8_t*>(digits), 9), 0xCBF43926u);
}

// Fixed vectors, so that two sides sharing this code cannot agree on a wrong
// encoding.
TEST(Pack7Bit, FixedVectors) {
  struct Case {
    std::vector<uint8_t> data;
    std::vector<uint8_t> packed;
  };
  const Case cases[] = {
      {{}, {}},
      {bytes({0x01, 0x82, 0x03, 0x84, 0x05, 0x86, 0x07}),
       bytes({0x2A, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07})},
      {bytes({0x80, 0, 0, 0, 0, 0, 0, 0xFF}), bytes({0x01, 0, 0, 0, 0, 0, 0, 0, 0x01, 0x7F})},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(pack_7bit(c.data), c.packed);
    Message framed = c.packed;
    framed.push_back(kSysexEnd);
    EXPECT_EQ(unpack_7bit(framed, 0), c.data);
  }
}

TEST(Pack7Bit, PackedLengths) {
  for (auto [n, packed] : {std::pair{7, 8}, {8, 10}, {16, 19}, {32, 37}, {14, 16}, {15, 18}}) {
    std::vector<uint8_t> data(static_cast<size_t>(n), 0xAB);
    EXPECT_EQ(pack_7bit(data).size(), static_cast<size_t>(packed)) << n;
  }
}

TEST(Unpack7Bit, StartBeyondEndFailsAtEndIsEmpty) {
  const Message m = bytes({0xF0, 0x42, 0xF7});
  EXPECT_FALSE(unpack_7bit(m, 4).has_value());
  ASSERT_TRUE(unpack_7bit(m, 3).has_value());
  EXPECT_TRUE(unpack_7bit(m, 3)->empty());
  // A group cut short by the end byte yields what it holds.
  EXPECT_EQ(unpack_7bit(bytes({0x03, 0x01, 0x02, 0xF7}), 0), bytes({0x81, 0x82}));
}

}  // namespace
}  // namespace quave
