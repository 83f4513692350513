#include "tools/devsim/model/load_check.hpp"

#include <gtest/gtest.h>

#include "tests/support/sim_units.hpp"
#include "tools/devsim/model/replies.hpp"

namespace devsim {
namespace {

using quave::test::load_data_for;
using quave::test::test_unit_image;
using quave::test::TestUnit;

// Every refusal has its own reason; the checks run in transfer, address,
// size, content order.
TEST(CheckLoad, EachRefusalAnswersItsStatus) {
  SimConfig config;  // vestrel, API 1.1, osc 16 slots of at most 12288 bytes
  const auto good = load_data_for(test_unit_image({}));
  auto length_wrong = good;
  length_wrong[0] ^= 1;
  auto short_data = std::vector<uint8_t>(good.begin(), good.begin() + 7);
  auto tiny_image = load_data_for(std::vector<uint8_t>(1000, 1));

  struct Row {
    const char* what;
    uint8_t module, slot;
    std::vector<uint8_t> data;
    uint8_t status;
  };
  const Row rows[] = {
      {"accepted", 4, 15, good, kStatusAcknowledge},
      {"no room for length and CRC", 4, 0, short_data, kStatusFormat},
      {"length differs from image", 4, 0, length_wrong, kStatusFormat},
      {"CRC differs", 4, 0, load_data_for(test_unit_image({}), 0x80000000), kStatusCrc},
      {"CRC checked before the address", 9, 0, load_data_for(test_unit_image({}), 1), kStatusCrc},
      {"module above 4", 5, 0, good, kStatusInvalidModule},
      {"module without slots", 0, 0, good, kStatusInvalidModule},
      {"slot beyond count", 4, 16, good, kStatusInvalidSlot},
      {"image above the limit", 4, 0, load_data_for(test_unit_image({4, 1, 1, 1, 12288 - 1155})),
       kStatusTooLarge},
      {"image at the limit", 4, 0, load_data_for(test_unit_image({4, 1, 1, 1, 12288 - 1156})),
       kStatusAcknowledge},
      {"shorter than header and trailer", 4, 0, tiny_image, kStatusFormat},
      {"other platform", 4, 0, load_data_for(test_unit_image({4, 2, 1, 1, 64})), kStatusInvalidTarget},
      {"other module than addressed", 3, 0, good, kStatusInvalidTarget},
      {"newer API minor", 4, 0, load_data_for(test_unit_image({4, 1, 1, 2, 64})), kStatusApiVersion},
      {"older API minor", 4, 0, load_data_for(test_unit_image({4, 1, 1, 0, 64})), kStatusAcknowledge},
      {"other API major", 4, 0, load_data_for(test_unit_image({4, 1, 2, 0, 64})), kStatusApiVersion},
  };
  for (const Row& r : rows) {
    EXPECT_EQ(check_load(config, r.module, r.slot, r.data), r.status) << r.what;
  }
}

// Pins the simulator's checksum to the CRC-32 check value, independently of
// the helper that computes checksums for the other tests.
TEST(CheckLoad, CrcCheckValueOfTheDigits) {
  SimConfig config;
  std::vector<uint8_t> data{0x09, 0x00, 0x00, 0x00, 0x26, 0x39, 0xF4, 0xCB};
  for (char c : std::string("123456789")) data.push_back(static_cast<uint8_t>(c));
  // Past the CRC, the nine bytes are too short to be a unit.
  EXPECT_EQ(check_load(config, 4, 0, data), kStatusFormat);
  data[4] = 0x27;
  EXPECT_EQ(check_load(config, 4, 0, data), kStatusCrc);
}

TEST(CheckLoad, LimitsComeFromTheConfiguration) {
  SimConfig config;
  config.platform = 3;
  config.modules[1].max_payload_size = 2000;
  EXPECT_EQ(check_load(config, 1, 7, load_data_for(test_unit_image({1, 3, 1, 1, 844}))), kStatusAcknowledge);
  EXPECT_EQ(check_load(config, 1, 7, load_data_for(test_unit_image({1, 3, 1, 1, 845}))),
            kStatusTooLarge);
  EXPECT_EQ(check_load(config, 1, 8, load_data_for(test_unit_image({1, 3, 1, 1, 64}))), kStatusInvalidSlot);
}

}  // namespace
}  // namespace devsim
