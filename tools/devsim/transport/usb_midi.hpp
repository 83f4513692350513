// What makes the simulator a USB-MIDI 1.0 class device: its descriptors and
// strings, and the 4-byte event packets that carry MIDI bytes over the bulk
// endpoints. Byte layouts only; usb_gadget_link does the I/O.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace devsim {

using Bytes = std::vector<uint8_t>;

// Host to device: one embedded jack, "SOUND", on cable 0. Device to host:
// cable 0 and cable 1, "KBD/KNOB", on which the device answers. The host's
// driver names each port "<product> <jack>", so the program finds them the
// way it finds a real synthesizer's.
constexpr uint8_t kReplyCable = 1;

// String indexes of the descriptors.
enum UsbString : uint8_t {
  kStringManufacturer = 1,
  kStringProduct,
  kStringSoundJack,
  kStringKeysJack,
  kStringCount
};

// Endpoint addresses: the emulated controller's "ep1in-bulk" and
// "ep2out-bulk".
constexpr uint8_t kEndpointIn = 0x81;
constexpr uint8_t kEndpointOut = 0x02;

Bytes usb_device_descriptor();
// The whole configuration (audio control and MIDI streaming interfaces,
// jacks, endpoints) with bulk packets of 512 bytes (high speed) or 64.
Bytes usb_config_descriptor(bool high_speed);
// The 7-byte endpoint descriptor a gadget endpoint file is configured with.
Bytes usb_endpoint_descriptor(uint8_t address, bool high_speed);
// String descriptor `index` (0: the language list), or empty when unknown.
Bytes usb_string_descriptor(uint8_t index, const std::string& product);

// Turns the MIDI bytes of event packets into a byte stream, in order;
// packets of unknown kind and unused bytes are skipped.
void decode_usb_midi(const uint8_t* packets, size_t size, Bytes& midi);
// Packs whole MIDI messages (SysEx, channel and system messages) into event
// packets on `cable`; real-time bytes, even inside SysEx, go as packets of
// their own. Bytes that start no message are dropped.
Bytes encode_usb_midi(const Bytes& messages, uint8_t cable);

}  // namespace devsim
