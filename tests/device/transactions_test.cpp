// Unit load and slot clearing after a handshake, on a fake link.
#include <gtest/gtest.h>

#include "device/load_data.hpp"
#include "tests/device/fake_device.hpp"

namespace quave {
namespace {

using test::Handshaken;

TEST(LoadData, LengthCrcThenImage) {
  const std::vector<uint8_t> image = {0xAA, 0xBB, 0xCC};
  EXPECT_EQ(make_load_data(image, 0x12345678u),
            (std::vector<uint8_t>{0x03, 0x00, 0x00, 0x00, 0x78, 0x56, 0x34, 0x12, 0xAA, 0xBB,
                                  0xCC}));
}

TEST(LoadData, PackedInGroupsOfSeven) {
  for (size_t n = 14; n <= 21; ++n) {
    const std::vector<uint8_t> data(n, 0xFF);
    const auto packed = pack_7bit(data);
    const size_t groups = (n + 6) / 7;
    ASSERT_EQ(packed.size(), n + groups) << n;
    // The last group is led by its own top-bit byte, one bit per byte it holds.
    const size_t last = n % 7 ? n % 7 : 7;
    EXPECT_EQ(packed[packed.size() - last - 1], (1u << last) - 1) << n;
  }
}

TEST(LoadUnit, OneFramedRequestWithTheGivenCrc) {
  auto fake = std::make_unique<test::FakeDevice>();
  fake->family_low = 0x51;
  Handshaken h(std::move(fake));
  std::vector<uint8_t> image(1156 + 300, 0);
  for (size_t i = 0; i < image.size(); ++i) image[i] = static_cast<uint8_t>(i * 37);
  ASSERT_TRUE(h.interface.load_unit(image, 0xCAFEF00Du, 4, 3).ok());

  ASSERT_EQ(h.device->requests.size(), 1u);
  const Message& sent = h.device->requests[0];
  // Byte 2 stays 0x30 although the device is on channel 2.
  const Message header = {0xF0, 0x42, 0x30, 0x00, 0x01, 0x51, 0x4A, 0x04, 0x03};
  EXPECT_EQ(Message(sent.begin(), sent.begin() + 9), header);
  EXPECT_EQ(sent.back(), 0xF7);
  EXPECT_EQ(unpack_7bit(sent, 9), make_load_data(image, 0xCAFEF00Du));
}

TEST(ClearRequests, Bytes) {
  Handshaken h;
  ASSERT_TRUE(h.interface.clear_slot(4, 200).ok());  // the slot goes out unmasked
  ASSERT_TRUE(h.interface.clear_module(2).ok());
  ASSERT_EQ(h.device->requests.size(), 2u);
  EXPECT_EQ(h.device->requests[0], (Message{0xF0, 0x42, 0x30, 0x00, 0x01, 0x4B, 0x1B, 0x04, 0xC8, 0xF7}));
  EXPECT_EQ(h.device->requests[1], (Message{0xF0, 0x42, 0x30, 0x00, 0x01, 0x4B, 0x1D, 0x02, 0xF7}));
}

// A clear waits one second for a slot, twenty for a whole module.
TEST(ClearRequests, TimeOuts) {
  for (bool whole : {false, true}) {
    Handshaken h;
    h.device->tamper = [](const Message&, std::vector<Message>& out) { out.clear(); };
    const Outcome outcome = whole ? h.interface.clear_module(1) : h.interface.clear_slot(1, 0);
    EXPECT_EQ(outcome.fault, Fault::timed_out);
    EXPECT_EQ(outcome.request, kClear);
    EXPECT_EQ(h.device->clock - h.device->sent_at.back(),
              whole ? kClearModuleTimeout : kClearSlotTimeout);
  }
}

TEST(Transactions, RefusedBeforeAHandshakeOrForAModuleBeyond4) {
  test::RecordingNarrator narrator;
  auto fake = std::make_unique<test::FakeDevice>();
  test::FakeDevice& device = *fake;
  DeviceInterface fresh(std::move(fake), narrator);
  const std::vector<uint8_t> image(1200, 1);
  EXPECT_EQ(fresh.load_unit(image, 0, 1, 0).fault, Fault::refused);
  EXPECT_EQ(fresh.clear_slot(1, 0).fault, Fault::refused);
  EXPECT_EQ(fresh.clear_module(1).fault, Fault::refused);
  EXPECT_TRUE(device.requests.empty());

  Handshaken h;
  EXPECT_EQ(h.interface.load_unit({}, 0, 1, 0).fault, Fault::refused);
  EXPECT_EQ(h.interface.clear_slot(5, 0).fault, Fault::refused);
  EXPECT_EQ(h.interface.clear_module(200).fault, Fault::refused);
  EXPECT_TRUE(h.device->requests.empty());
  EXPECT_TRUE(h.narrator.heard.empty());
}

}  // namespace
}  // namespace quave
