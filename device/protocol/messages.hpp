// The SysEx message catalog: request templates, the load data, reply
// recognition and 7-bit packing. Every byte value and position of the
// protocol is named here once; the templates and the decoders use the names.
//
// Byte positions count the leading 0xF0 as byte 0.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quave {

using Message = std::vector<uint8_t>;

constexpr uint8_t kSysexStart = 0xF0;
constexpr uint8_t kSysexEnd = 0xF7;
constexpr uint8_t kManufacturer = 0x42;

// The search messages: byte 2 kSearchGroup, byte 3 what it is, and an echo
// byte that the reply gives back one place later.
constexpr uint8_t kSearchGroup = 0x50;
constexpr uint8_t kSearchRequestCode = 0x00;
constexpr uint8_t kSearchReplyCode = 0x01;
constexpr uint8_t kSearchEcho = 0x55;
constexpr size_t kSearchReplyChannelAt = 4;  // low 3 bits
constexpr size_t kSearchReplyEchoAt = 5;
constexpr size_t kSearchReplyFamilyLowAt = 6;
constexpr size_t kSearchReplyFamilyHighAt = 7;
constexpr size_t kSearchReplyVersionAt = 10;  // major (LE16), minor (LE16)

// The device header of every other message: byte 2 kDeviceGroup ORed with
// the channel, three model-id bytes, then the function byte (a StatusReply's
// status byte).
constexpr uint8_t kDeviceGroup = 0x30;
constexpr size_t kChannelAt = 2;
constexpr size_t kModelIdAt = 3;
constexpr size_t kFunctionAt = 6;
constexpr size_t kDeviceHeaderSize = 7;
// What follows the header in the requests and the data replies.
constexpr size_t kModuleAt = 7;
constexpr size_t kSlotAt = 8;
// ApiVersionReply: the platform, then the API version's major, minor, patch.
constexpr size_t kApiPlatformAt = 7;
constexpr size_t kApiMajorAt = 8;
constexpr size_t kApiMinorAt = 9;
constexpr size_t kApiPatchAt = 10;
// Where the packed data of the two data replies starts (byte 8 of a
// ModuleInfoReply and byte 9 of a SlotStatusReply are not used).
constexpr size_t kModuleInfoDataAt = 9;
constexpr size_t kSlotStatusDataAt = 10;

// Function bytes (byte 6 of the device header).
constexpr uint8_t kFnApiVersionRequest = 0x17;
constexpr uint8_t kFnModuleInfoRequest = 0x18;
constexpr uint8_t kFnSlotStatusRequest = 0x19;
constexpr uint8_t kFnSlotClearRequest = 0x1B;
constexpr uint8_t kFnModuleClearRequest = 0x1D;
constexpr uint8_t kFnUnitLoadRequest = 0x4A;
constexpr uint8_t kFnApiVersionReply = 0x47;
constexpr uint8_t kFnModuleInfoReply = 0x48;
constexpr uint8_t kFnSlotStatusReply = 0x49;

// The requests; the error texts and the time-out lines go by them.
enum RequestKind : uint32_t {
  kIdle = 0,
  kSearchDevice = 1,
  kApiVersion = 2,
  kModuleInfo = 3,
  kSlotStatus = 4,
  kClear = 5,
  kUnitLoad = 6,
};

// Status bytes of a StatusReply (byte 6).
constexpr uint8_t kStatusAcknowledge = 0x23;
constexpr uint8_t kStatusDeviceError1 = 0x24;
constexpr uint8_t kStatusDeviceError2 = 0x26;
constexpr uint8_t kStatusTooLarge = 0x27;
constexpr uint8_t kStatusCrc = 0x28;
constexpr uint8_t kStatusInvalidTarget = 0x29;
constexpr uint8_t kStatusApiVersion = 0x2A;
constexpr uint8_t kStatusCodeSize = 0x2B;
constexpr uint8_t kStatusInvalidModule = 0x2C;
constexpr uint8_t kStatusInvalidSlot = 0x2D;
constexpr uint8_t kStatusFormat = 0x2E;
constexpr uint8_t kStatusInternal = 0x2F;

// Error codes: a device error, or a reply that does not fit its request.
enum ErrorCode : uint32_t {
  kErrorDevice1 = 1,
  kErrorDevice2 = 2,
  kErrorWrongPlatform = 3,
  kErrorInvalidModule = 4,
  kErrorInvalidSlot = 5,
  kErrorUndecodable = 6,
  kErrorTooLarge = 7,
  kErrorCrc = 8,
  kErrorInvalidTarget = 9,
  kErrorApiVersion = 10,
  kErrorCodeSize = 11,
  kErrorFormat = 12,
  kErrorInternal = 13,
};

// PlatformId of a family id (kModels' family bytes), 0 when it names none
// of the three models.
uint8_t platform_from_family(uint8_t high, uint8_t low);

// Request templates, as stored: the search request whole; the others with
// byte 2 at 0x30 and the model id zero.
extern const std::array<uint8_t, 6> kSearchDeviceRequest;
extern const std::array<uint8_t, 8> kApiVersionRequest;
extern const std::array<uint8_t, 9> kModuleInfoRequest;
extern const std::array<uint8_t, 10> kSlotStatusRequest;
extern const std::array<uint8_t, 10> kSlotClearRequest;
extern const std::array<uint8_t, 9> kModuleClearRequest;
extern const std::array<uint8_t, 9> kUnitLoadRequestHeader;  // no end byte

// Reply templates and their minimum (or exact) lengths.
extern const std::array<uint8_t, 15> kSearchDeviceReply;
extern const std::array<uint8_t, 12> kApiVersionReply;
extern const std::array<uint8_t, 9> kModuleInfoReplyHeader;
extern const std::array<uint8_t, 10> kSlotStatusReplyHeader;
extern const std::array<uint8_t, 8> kStatusReply;

// Addressing the device-header requests: model-id bytes at 3..5 and, for the
// handshake's requests only, the channel ORed into byte 2.
struct DeviceAddress {
  uint8_t channel = 0;              // 0..15; the search reply gives 0..7
  std::array<uint8_t, 3> model_id{};  // 0x00, family high, family low
};

Message make_search_device_request();
Message make_api_version_request(const DeviceAddress& to);
Message make_module_info_request(const DeviceAddress& to, uint8_t module);
Message make_slot_status_request(const DeviceAddress& to, uint8_t module, uint8_t slot);
// Clears and loads keep byte 2 at 0x30: the channel is not merged in.
Message make_slot_clear_request(const DeviceAddress& to, uint8_t module, uint8_t slot);
Message make_module_clear_request(const DeviceAddress& to, uint8_t module);
// The unit's module, the slot, then the load data packed: the unit image's
// length and CRC-32 (both little-endian), then the image.
Message make_unit_load_request(const DeviceAddress& to, uint8_t module, uint8_t slot,
                               const std::vector<uint8_t>& image, uint32_t crc);

// 7-bit packing: groups of seven bytes, each led by a byte holding their top
// bits (bit i for the group's i-th byte). n bytes become n + ceil(n / 7).
std::vector<uint8_t> pack_7bit(const uint8_t* data, size_t size);
inline std::vector<uint8_t> pack_7bit(const std::vector<uint8_t>& data) {
  return pack_7bit(data.data(), data.size());
}
// Unpacks from byte `start` up to the end or the first 0xF7. Nothing when
// `start` lies beyond the end; empty when it equals the length.
std::optional<std::vector<uint8_t>> unpack_7bit(const uint8_t* message, size_t length,
                                                size_t start);
inline std::optional<std::vector<uint8_t>> unpack_7bit(const Message& message, size_t start) {
  return unpack_7bit(message.data(), message.size(), start);
}

// Removes every byte 0xF8..0xFF in place, keeping the order of the rest;
// returns the new length.
size_t strip_realtime_bytes(Message& message);

// Recognition of replies (after real-time bytes have been removed).
bool is_search_device_reply(const Message& m);
bool is_api_version_reply(const Message& m, const DeviceAddress& from);
bool is_module_info_reply(const Message& m, const DeviceAddress& from);
bool is_slot_status_reply(const Message& m, const DeviceAddress& from);
bool is_status_reply(const Message& m, const DeviceAddress& from);

}  // namespace quave
