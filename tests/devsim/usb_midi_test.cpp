// The simulator's USB-MIDI byte layouts: event packets both ways, and
// descriptors whose lengths the host's parser relies on.
#include <gtest/gtest.h>

#include "tools/devsim/transport/usb_midi.hpp"

namespace devsim {
namespace {

TEST(UsbMidi, EventPacketsCarryEveryKindOfMessage) {
  struct Row {
    const char* what;
    Bytes midi;
    Bytes packets;  // on cable 1
    bool same_back = true;
  };
  const Row rows[] = {
      {"SysEx ending with one byte", {0xF0, 0x42, 0x30, 0xF7}, {0x14, 0xF0, 0x42, 0x30, 0x15, 0xF7, 0, 0}},
      {"SysEx ending with two bytes", {0xF0, 0x42, 0x30, 0x01, 0xF7},
       {0x14, 0xF0, 0x42, 0x30, 0x16, 0x01, 0xF7, 0}},
      {"SysEx ending with three bytes", {0xF0, 0x42, 0xF7}, {0x17, 0xF0, 0x42, 0xF7}},
      {"real time inside SysEx goes on its own", {0xF0, 0xF8, 0x42, 0xF7},
       {0x1F, 0xF8, 0, 0, 0x17, 0xF0, 0x42, 0xF7}, false},  // ahead of the packet it was in
      {"channel messages of three and two bytes", {0x90, 0x40, 0x7F, 0xC3, 0x05},
       {0x19, 0x90, 0x40, 0x7F, 0x1C, 0xC3, 0x05, 0}},
      {"system common", {0xF2, 0x01, 0x02, 0xF6}, {0x13, 0xF2, 0x01, 0x02, 0x15, 0xF6, 0, 0}},
      {"a status byte cuts a SysEx short", {0xF0, 0x42, 0x90, 0x40, 0x7F},
       {0x19, 0x90, 0x40, 0x7F}, false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    EXPECT_EQ(encode_usb_midi(row.midi, 1), row.packets);
    Bytes back;
    decode_usb_midi(row.packets.data(), row.packets.size(), back);
    if (row.same_back) {
      EXPECT_EQ(back, row.midi);
    }
  }
  // Reserved kinds and a torn packet at the end carry nothing.
  const Bytes odd{0x00, 0x11, 0x22, 0x33, 0x01, 0x44, 0x55, 0x66, 0x05, 0xF7};
  Bytes none;
  decode_usb_midi(odd.data(), odd.size(), none);
  EXPECT_TRUE(none.empty());
}

TEST(UsbMidi, DescriptorsHoldTogether) {
  for (const bool high : {false, true}) {
    SCOPED_TRACE(high ? "high speed" : "full speed");
    const Bytes c = usb_config_descriptor(high);
    ASSERT_GE(c.size(), 9u);
    EXPECT_EQ(c[2] | c[3] << 8, static_cast<int>(c.size()));
    // Walk the chain: every length lands on the next descriptor, and both
    // bulk endpoints carry the speed's packet size.
    size_t at = 0, endpoints = 0, ms_header = 0;
    while (at < c.size()) {
      ASSERT_GE(c[at], 2) << at;
      if (c[at + 1] == 0x05) {
        EXPECT_EQ(c[at + 4] | c[at + 5] << 8, high ? 512 : 64);
        ++endpoints;
      }
      if (c[at + 1] == 0x24 && c[at + 2] == 0x01 && at > 30) ms_header = at;
      at += c[at];
    }
    EXPECT_EQ(at, c.size());
    EXPECT_EQ(endpoints, 2u);
    ASSERT_NE(ms_header, 0u);
    EXPECT_EQ(c[ms_header + 5] | c[ms_header + 6] << 8, static_cast<int>(c.size() - ms_header));
    EXPECT_EQ(usb_endpoint_descriptor(kEndpointOut, high), Bytes({7, 5, kEndpointOut, 2, static_cast<uint8_t>(high ? 0 : 64), static_cast<uint8_t>(high ? 2 : 0), 0}));
  }
  const Bytes d = usb_device_descriptor();
  EXPECT_EQ(d.size(), 18u);
  EXPECT_EQ(d[0], 18);
  EXPECT_EQ(usb_string_descriptor(kStringProduct, "vestrel 2"),
            Bytes({20, 3, 'v', 0, 'e', 0, 's', 0, 't', 0, 'r', 0, 'e', 0, 'l', 0, ' ', 0, '2', 0}));
  EXPECT_EQ(usb_string_descriptor(kStringKeysJack, "x").size(), 2u + 2 * 8);
  EXPECT_TRUE(usb_string_descriptor(kStringCount, "x").empty());
}

}  // namespace
}  // namespace devsim
