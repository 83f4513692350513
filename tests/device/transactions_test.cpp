// Unit load and slot clearing after a handshake, on a fake link.
#include <gtest/gtest.h>

#include "tests/device/fake_device.hpp"

namespace quave {
namespace {

using std::chrono::milliseconds;
using test::Handshaken;
using test::unit_of;

TEST(LoadUnit, OneFramedRequestCarryingLengthCrcAndImage) {
  auto fake = std::make_unique<test::FakeDevice>();
  fake->family_low = 0x51;
  Handshaken h(std::move(fake));
  const std::vector<uint8_t> image = {0x84, 0x01, 0x02, 0x03, 0xFF, 0x00, 0x7F, 0x80, 0x10, 0x20};
  ASSERT_TRUE(h.interface.load_unit(unit_of(4, image, 0xCAFEF00Du), 3).ok());

  // Byte 2 stays 0x30 although the device is on channel 2. The data: length
  // 10 and the CRC little-endian, then the image, in groups of seven behind
  // their top bits.
  const Message expected = {
      0xF0, 0x42, 0x30, 0x00, 0x01, 0x51, 0x4A, 0x04, 0x03,
      0x60, 0x0A, 0x00, 0x00, 0x00, 0x0D, 0x70, 0x7E,  // 0a 00 00 00 0d f0 fe
      0x23, 0x4A, 0x04, 0x01, 0x02, 0x03, 0x7F, 0x00,  // ca 84 01 02 03 ff 00
      0x02, 0x7F, 0x00, 0x10, 0x20,                    // 7f 80 10 20
      0xF7};
  ASSERT_EQ(h.device->requests.size(), 1u);
  EXPECT_EQ(h.device->requests[0], expected);
}

TEST(ClearRequests, Bytes) {
  Handshaken h;
  ASSERT_TRUE(h.interface.clear_slot(4, 127).ok());  // the highest slot a data byte names
  ASSERT_TRUE(h.interface.clear_module(2).ok());
  ASSERT_EQ(h.device->requests.size(), 2u);
  EXPECT_EQ(h.device->requests[0], (Message{0xF0, 0x42, 0x30, 0x00, 0x01, 0x4B, 0x1B, 0x04, 0x7F, 0xF7}));
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
    EXPECT_EQ(h.device->clock - h.device->sent_at.back(), whole ? milliseconds(20000) : milliseconds(1000));
  }
}

TEST(Transactions, RefusedBeforeAHandshakeOrForAModuleBeyond4OrASlotBeyond127) {
  test::RecordingNarrator narrator;
  auto fake = std::make_unique<test::FakeDevice>();
  test::FakeDevice& device = *fake;
  DeviceInterface fresh(std::move(fake), narrator);
  EXPECT_EQ(fresh.load_unit(unit_of(1, std::vector<uint8_t>(1200, 1), 0), 0).fault, Fault::refused);
  EXPECT_EQ(fresh.clear_slot(1, 0).fault, Fault::refused);
  EXPECT_EQ(fresh.clear_module(1).fault, Fault::refused);
  EXPECT_TRUE(device.requests.empty());

  Handshaken h;
  EXPECT_EQ(h.interface.clear_slot(5, 0).fault, Fault::refused);
  EXPECT_EQ(h.interface.clear_module(200).fault, Fault::refused);
  // A byte of 0x80 or more would end the SysEx message on the wire.
  for (uint8_t slot : {128, 255}) {
    EXPECT_EQ(h.interface.clear_slot(1, slot).fault, Fault::refused);
    EXPECT_EQ(h.interface.load_unit(unit_of(1, std::vector<uint8_t>(1200, 1), 0), slot).fault,
              Fault::refused);
  }
  EXPECT_TRUE(h.device->requests.empty());
  EXPECT_TRUE(h.narrator.heard.empty());
}

}  // namespace
}  // namespace quave
