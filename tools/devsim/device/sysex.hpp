// The device's half of the SysEx protocol, typed from the device's side:
// what it recognises in a request and the bytes it answers with. Nothing
// here comes from the program's message catalogue, packer or CRC, so that a
// fault there shows as a device that disagrees instead of one that agrees.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace device_side {

using Message = std::vector<uint8_t>;

constexpr uint8_t kStart = 0xF0;
constexpr uint8_t kEnd = 0xF7;
constexpr uint8_t kManufacturer = 0x42;

// The search: F0 42 50 00 echo F7, answered F0 42 50 01 ...
constexpr uint8_t kSearchGroup = 0x50;
constexpr uint8_t kSearchRequest = 0x00;
constexpr uint8_t kSearchReply = 0x01;
constexpr size_t kSearchEchoAt = 4;
constexpr size_t kSearchLength = 6;

// Every other message: F0 42 3c m0 m1 m2 fn ..., c the channel.
constexpr uint8_t kDeviceGroup = 0x30;
constexpr size_t kChannelAt = 2;
constexpr size_t kModelAt = 3;
constexpr size_t kFunctionAt = 6;
constexpr size_t kHeaderLength = 7;
constexpr size_t kModuleAt = 7;
constexpr size_t kSlotAt = 8;

// Requests.
constexpr uint8_t kFnApiVersion = 0x17;
constexpr uint8_t kFnModuleInfo = 0x18;
constexpr uint8_t kFnSlotStatus = 0x19;
constexpr uint8_t kFnSlotClear = 0x1B;
constexpr uint8_t kFnModuleClear = 0x1D;
constexpr uint8_t kFnUnitLoad = 0x4A;
// Data replies.
constexpr uint8_t kFnApiVersionReply = 0x47;
constexpr uint8_t kFnModuleInfoReply = 0x48;
constexpr uint8_t kFnSlotStatusReply = 0x49;

// Status replies: the function byte alone says how a request went.
constexpr uint8_t kStatusAcknowledge = 0x23;
constexpr uint8_t kStatusTooLarge = 0x27;
constexpr uint8_t kStatusCrc = 0x28;
constexpr uint8_t kStatusInvalidTarget = 0x29;
constexpr uint8_t kStatusApiVersion = 0x2A;
constexpr uint8_t kStatusInvalidModule = 0x2C;
constexpr uint8_t kStatusInvalidSlot = 0x2D;
constexpr uint8_t kStatusFormat = 0x2E;

// The family id of each model, platform 1 to 3: high byte, then low.
constexpr uint8_t kFamilyHigh = 0x01;
constexpr std::array<uint8_t, 3> kFamilyLow = {0x4B, 0x51, 0x57};

// Exact length of a request with function `fn`, end byte included; nothing
// for the load, whose length varies, and for functions the device does not
// know. A load's data starts at kLoadDataAt.
std::optional<size_t> request_length(uint8_t fn);
constexpr size_t kLoadDataAt = 9;

// 7-bit form: per group of up to seven bytes, a byte holding their top bits
// (bit i for byte i), then the bytes with their top bit cleared.
std::vector<uint8_t> pack7(const std::vector<uint8_t>& data);
// The bytes packed from `at` up to the end or the first end byte. Nothing
// when `at` lies past the end.
std::optional<std::vector<uint8_t>> unpack7(const Message& message, size_t at);

// The CRC-32 a device checks a load against: reflected, polynomial
// 0x04C11DB7, all ones in and out.
uint32_t crc32(const uint8_t* data, size_t size);

}  // namespace device_side
