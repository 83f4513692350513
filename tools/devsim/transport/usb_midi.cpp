#include "tools/devsim/transport/usb_midi.hpp"

namespace devsim {

namespace {

// Arbitrary numbers: no driver quirk may match them.
constexpr uint16_t kVendorId = 0x0000;
constexpr uint16_t kProductId = 0x0001;

constexpr uint8_t kClassSpecificInterface = 0x24;
constexpr uint8_t kClassSpecificEndpoint = 0x25;
enum Jack : uint8_t { kSoundIn = 1, kSoundOut, kKeysIn, kKeysEmbeddedOut, kKnobsIn, kKnobsEmbeddedOut };

void put16(Bytes& b, uint16_t v) {
  b.push_back(static_cast<uint8_t>(v & 0xFF));
  b.push_back(static_cast<uint8_t>(v >> 8));
}

void set16(Bytes& b, size_t at, size_t v) {
  b[at] = static_cast<uint8_t>(v & 0xFF);
  b[at + 1] = static_cast<uint8_t>(v >> 8);
}

void append(Bytes& b, std::initializer_list<uint8_t> bytes) { b.insert(b.end(), bytes); }

// MIDI bytes in a packet of each code index number; 0: none we take.
constexpr uint8_t kPacketBytes[16] = {0, 0, 2, 3, 3, 1, 2, 3, 3, 3, 3, 3, 2, 2, 3, 1};

uint8_t message_length(uint8_t status) {
  if (status < 0xF0) return (status & 0xE0) == 0xC0 ? 2 : 3;
  switch (status) {
    case 0xF1:
    case 0xF3: return 2;
    case 0xF2: return 3;
    default: return 1;
  }
}

}  // namespace

Bytes usb_device_descriptor() {
  Bytes d{18, 0x01};
  put16(d, 0x0200);
  append(d, {0x00, 0x00, 0x00, 64});
  put16(d, kVendorId);
  put16(d, kProductId);
  put16(d, 0x0100);
  append(d, {kStringManufacturer, kStringProduct, 0, 1});
  return d;
}

Bytes usb_config_descriptor(bool high_speed) {
  const uint16_t packet = high_speed ? 512 : 64;
  Bytes d{9, 0x02, 0, 0, 2, 1, 0, 0x80, 50};
  // Audio control: no units, only the reference to the streaming interface.
  append(d, {9, 0x04, 0, 0, 0, 0x01, 0x01, 0, 0});
  append(d, {9, kClassSpecificInterface, 0x01, 0x00, 0x01, 9, 0, 1, 1});
  // MIDI streaming, two bulk endpoints.
  append(d, {9, 0x04, 1, 0, 2, 0x01, 0x03, 0, 0});
  const size_t ms_header = d.size();
  append(d, {7, kClassSpecificInterface, 0x01, 0x00, 0x01, 0, 0});
  // Embedded jacks face the host, external ones the instrument.
  append(d, {6, kClassSpecificInterface, 0x02, 0x01, kSoundIn, kStringSoundJack});
  append(d, {9, kClassSpecificInterface, 0x03, 0x02, kSoundOut, 1, kSoundIn, 1, 0});
  append(d, {6, kClassSpecificInterface, 0x02, 0x02, kKeysIn, 0});
  append(d, {9, kClassSpecificInterface, 0x03, 0x01, kKeysEmbeddedOut, 1, kKeysIn, 1, kStringSoundJack});
  append(d, {6, kClassSpecificInterface, 0x02, 0x02, kKnobsIn, 0});
  append(d, {9, kClassSpecificInterface, 0x03, 0x01, kKnobsEmbeddedOut, 1, kKnobsIn, 1, kStringKeysJack});
  append(d, {9, 0x05, kEndpointOut, 0x02});
  put16(d, packet);
  append(d, {0, 0, 0});
  append(d, {5, kClassSpecificEndpoint, 0x01, 1, kSoundIn});
  append(d, {9, 0x05, kEndpointIn, 0x02});
  put16(d, packet);
  append(d, {0, 0, 0});
  append(d, {6, kClassSpecificEndpoint, 0x01, 2, kKeysEmbeddedOut, kKnobsEmbeddedOut});
  set16(d, ms_header + 5, d.size() - ms_header);
  set16(d, 2, d.size());
  return d;
}

Bytes usb_endpoint_descriptor(uint8_t address, bool high_speed) {
  Bytes d{7, 0x05, address, 0x02};
  put16(d, high_speed ? 512 : 64);
  d.push_back(0);
  return d;
}

Bytes usb_string_descriptor(uint8_t index, const std::string& product) {
  std::string text;
  switch (index) {
    case 0: return {4, 0x03, 0x09, 0x04};  // US English only
    case kStringManufacturer: text = "quave-devsim"; break;
    case kStringProduct: text = product; break;
    case kStringSoundJack: text = "SOUND"; break;
    case kStringKeysJack: text = "KBD/KNOB"; break;
    default: return {};
  }
  if (text.size() > 126) text.resize(126);
  Bytes d{static_cast<uint8_t>(2 + 2 * text.size()), 0x03};
  for (const char c : text) append(d, {static_cast<uint8_t>(c), 0});
  return d;
}

void decode_usb_midi(const uint8_t* packets, size_t size, Bytes& midi) {
  for (size_t at = 0; at + 4 <= size; at += 4) {
    const uint8_t count = kPacketBytes[packets[at] & 0x0F];
    midi.insert(midi.end(), packets + at + 1, packets + at + 1 + count);
  }
}

Bytes encode_usb_midi(const Bytes& messages, uint8_t cable) {
  Bytes out;
  const uint8_t head = static_cast<uint8_t>(cable << 4);
  const auto packet = [&](uint8_t cin, const uint8_t* bytes, size_t n) {
    out.push_back(head | cin);
    for (size_t i = 0; i < 3; ++i) out.push_back(i < n ? bytes[i] : 0);
  };
  uint8_t held[3];
  size_t count = 0;
  bool in_sysex = false;
  size_t wanted = 0;  // bytes of the message under way outside SysEx
  for (const uint8_t b : messages) {
    if (b >= 0xF8) {
      packet(0x0F, &b, 1);
      continue;
    }
    if (b == 0xF0) {
      in_sysex = true;
      held[0] = b;
      count = 1;
      continue;
    }
    if (in_sysex) {
      if (b == 0xF7 || !(b & 0x80)) {
        held[count++] = b;
        if (b == 0xF7) {
          packet(static_cast<uint8_t>(0x04 + count), held, count);  // 0x5, 0x6, 0x7: the end
          in_sysex = false;
          count = 0;
        } else if (count == 3) {
          packet(0x04, held, 3);
          count = 0;
        }
        continue;
      }
      in_sysex = false;  // a status byte cuts the SysEx short
      count = 0;
    }
    if (b & 0x80) {
      held[0] = b;
      count = 1;
      wanted = message_length(b);
    } else if (count > 0 && count < wanted) {
      held[count++] = b;
    } else {
      continue;
    }
    if (count == wanted) {
      const uint8_t status = held[0];
      const uint8_t cin = status < 0xF0 ? static_cast<uint8_t>(status >> 4)
                          : wanted == 1   ? 0x05
                                          : static_cast<uint8_t>(wanted);
      packet(cin, held, wanted);
      count = 0;
    }
  }
  return out;
}

}  // namespace devsim
