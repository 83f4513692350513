// Unit load and slot clearing against a device that answers through the
// sender hook.
#include <gtest/gtest.h>

#include <cstdio>

#include "device/device_interface.hpp"
#include "device/load_data.hpp"
#include "tests/device/fake_device.hpp"

namespace quave {
namespace {

using testing::internal::CaptureStderr;
using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStderr;
using testing::internal::GetCapturedStdout;

std::vector<uint8_t> sample_image(uint8_t module, const char* name, size_t payload) {
  std::vector<uint8_t> image(1156 + payload, 0);
  image[0] = module;
  image[1] = 1;
  for (size_t i = 0; name[i]; ++i) image[18 + i] = static_cast<uint8_t>(name[i]);
  for (size_t i = 0; i < payload; ++i) image[1024 + i] = static_cast<uint8_t>(i * 37);
  return image;
}

// A device whose handshake is taken as done; `status` answers every clear
// or load (nothing: silence).
struct Rig {
  DeviceInterface device;
  std::vector<Message> requests;
  std::optional<uint8_t> status = 0x23;

  explicit Rig(uint32_t options = 0) : device(options) {
    device.state |= kStatePortsOpen | kStateHandshakeComplete;
    device.info.channel = 2;
    device.info.model_id = {0x00, 0x01, 0x51};
    device.sender = [this](const Message& request) {
      requests.push_back(request);
      if (!status) return;
      Message reply = test::status_reply(device.info.address(), *status);
      dispatch_reply(device.pending, reply);
    };
  }
};

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

TEST(LoadUnit, SendsOneFramedRequestAndReportsSizeAndCrc) {
  Rig rig(kOptionVerbose);
  const std::vector<uint8_t> image = sample_image(4, "saw", 300);
  CaptureStdout();
  CaptureStderr();
  ASSERT_TRUE(rig.device.load_unit(image, 4, 3));
  EXPECT_EQ(GetCapturedStderr(), "");
  const uint32_t crc = crc32(image.data(), image.size());
  char line[64];
  std::snprintf(line, sizeof line, "size: %zx crc32: %x\n", image.size(), crc);
  EXPECT_EQ(GetCapturedStdout(),
            std::string("> Loading \"Oscillator\" unit \"saw\" into slot #3\n\n") + line + "\n");

  ASSERT_EQ(rig.requests.size(), 1u);
  const Message& sent = rig.requests[0];
  // Byte 2 stays 0x30 although the device is on channel 2.
  const Message header = {0xF0, 0x42, 0x30, 0x00, 0x01, 0x51, 0x4A, 0x04, 0x03};
  EXPECT_EQ(Message(sent.begin(), sent.begin() + 9), header);
  EXPECT_EQ(sent.back(), 0xF7);
  const auto data = unpack_7bit(sent, 9);
  ASSERT_TRUE(data.has_value());
  EXPECT_EQ(*data, make_load_data(image, crc));
  EXPECT_EQ(rig.device.pending.kind, 0u);
}

TEST(LoadUnit, QuietWithoutVerbose) {
  Rig rig(0);
  CaptureStdout();
  ASSERT_TRUE(rig.device.load_unit(sample_image(1, "x", 4), 1, 0));
  const std::string out = GetCapturedStdout();
  EXPECT_EQ(out.rfind("size: 488 crc32: ", 0), 0u) << out;
  EXPECT_EQ(out.find('\n'), out.size() - 1);
}

TEST(Transactions, RefuseSilently) {
  struct Case {
    const char* what;
    bool handshaken;
    bool image;
    uint32_t kind;
    std::function<bool(DeviceInterface&, bool)> call;
  };
  auto load = [](DeviceInterface& d, bool image) {
    return d.load_unit(image ? sample_image(1, "x", 4) : std::vector<uint8_t>(), 1, 0);
  };
  auto clear_slot = [](DeviceInterface& d, bool) { return d.clear_slot(1, 0); };
  auto clear_module = [](DeviceInterface& d, bool) { return d.clear_module(1); };
  const Case cases[] = {
      {"load before handshake", false, true, 0, load},
      {"load without image", true, false, 0, load},
      {"load while busy", true, true, kSlotStatus, load},
      {"slot clear before handshake", false, true, 0, clear_slot},
      {"slot clear while busy", true, true, kUnitLoad, clear_slot},
      {"module clear before handshake", false, true, 0, clear_module},
      {"slot clear of module 5", true, true, 0, [](DeviceInterface& d, bool) { return d.clear_slot(5, 0); }},
      {"module clear of module 200", true, true, 0, [](DeviceInterface& d, bool) { return d.clear_module(200); }},
  };
  for (const auto& c : cases) {
    Rig rig(kOptionVerbose | kOptionDebug);
    if (!c.handshaken) rig.device.state &= ~kStateHandshakeComplete;
    rig.device.pending.kind = c.kind;
    CaptureStdout();
    CaptureStderr();
    EXPECT_FALSE(c.call(rig.device, c.image)) << c.what;
    EXPECT_EQ(GetCapturedStdout(), "") << c.what;
    EXPECT_EQ(GetCapturedStderr(), "") << c.what;
    EXPECT_TRUE(rig.requests.empty()) << c.what;
    EXPECT_EQ(rig.device.pending.kind, c.kind) << c.what;
  }
}

TEST(ClearRequests, Bytes) {
  Rig rig;
  ASSERT_TRUE(rig.device.clear_slot(4, 200));  // the slot goes out unmasked
  ASSERT_TRUE(rig.device.clear_module(2));
  ASSERT_EQ(rig.requests.size(), 2u);
  EXPECT_EQ(rig.requests[0], (Message{0xF0, 0x42, 0x30, 0x00, 0x01, 0x51, 0x1B, 0x04, 0xC8, 0xF7}));
  EXPECT_EQ(rig.requests[1], (Message{0xF0, 0x42, 0x30, 0x00, 0x01, 0x51, 0x1D, 0x02, 0xF7}));
}

TEST(Transactions, DeviceErrorLines) {
  struct Case {
    bool load;
    uint8_t status;
    const char* line;
  };
  const Case cases[] = {
      {false, 0x24, "Error: Device reported error code 1.\n"},
      {false, 0x26, "Error: Device reported error code 2.\n"},
      {false, 0x2C, "Error: Invalid module ID.\n"},
      {false, 0x2D, "Error: Invalid slot ID.\n"},
      {false, 0x2E, "Error: Invalid command format.\n"},
      {false, 0x2F, "Error: Internal error.\n"},
      {true, 0x24, "Error: Device reported error code 1.\n"},
      {true, 0x26, "Error: Device reported error code 2.\n"},
      {true, 0x27, "Error: Unit data too large.\n"},
      {true, 0x28, "Error: CRC verification failed.\n"},
      {true, 0x29, "Error: Invalid unit target.\n"},
      {true, 0x2A, "Error: Incompatible API version.\n"},
      {true, 0x2B, "Error: Loadable code size too large.\n"},
      {true, 0x2C, "Error: Referenced an invalid module.\n"},
      {true, 0x2D, "Error: Referenced an invalid slot.\n"},
      {true, 0x2E, "Error: Invalid unit data format.\n"},
      {true, 0x2F, "Error: Internal error.\n"},
  };
  for (const auto& c : cases) {
    Rig rig;
    rig.status = c.status;
    CaptureStdout();
    CaptureStderr();
    const bool ok =
        c.load ? rig.device.load_unit(sample_image(1, "x", 4), 1, 0) : rig.device.clear_slot(1, 0);
    GetCapturedStdout();
    EXPECT_FALSE(ok);
    EXPECT_EQ(GetCapturedStderr(), c.line) << int(c.status);
    EXPECT_EQ(rig.requests.size(), 1u);
    EXPECT_EQ(rig.device.pending.kind, 0u);
    EXPECT_EQ(rig.device.pending.error_code, 0u);
    EXPECT_FALSE(rig.device.pending.flags & kFlagDeviceError);
  }
}

// Waits out the one-second clear time-out.
TEST(Transactions, UnrecognisedStatusThenTimeOut) {
  Rig rig;
  rig.status = 0x27;  // a load status, meaningless to a clear
  CaptureStderr();
  EXPECT_FALSE(rig.device.clear_slot(1, 0));
  EXPECT_EQ(GetCapturedStderr(),
            "Warning: Unrecognized status message received. (0x27)\n"
            "Error: Clear command timed out.\n");
  EXPECT_EQ(rig.requests.size(), 1u);
}

}  // namespace
}  // namespace quave
