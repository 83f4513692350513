// Uploading the loaded unit's image into one slot.
#include <cstdio>
#include <cstring>

#include "base/console.hpp"
#include "device/device_interface.hpp"
#include "device/load_data.hpp"
#include "device/step_walk.hpp"
#include "base/bytes.hpp"
#include "unit/identifiers.hpp"
#include "unit/manifest.hpp"

namespace quave {

std::vector<uint8_t> make_load_data(const std::vector<uint8_t>& image, uint32_t crc) {
  std::vector<uint8_t> data(8 + image.size());
  put_le32(&data[0], static_cast<uint32_t>(image.size()));
  put_le32(&data[4], crc);
  std::copy(image.begin(), image.end(), data.begin() + 8);
  return data;
}

namespace {

constexpr uint32_t kLoadTimeoutMs = 5000;

std::string unit_name(const std::vector<uint8_t>& image) {
  if (image.size() < kHdrName) return "";
  const size_t room = std::min(kNameFieldSize, image.size() - kHdrName);
  const uint8_t* name = &image[kHdrName];
  const void* end = std::memchr(name, 0, room);
  const size_t length = end ? static_cast<const uint8_t*>(end) - name : room;
  return std::string(reinterpret_cast<const char*>(name), length);
}

}  // namespace

bool DeviceInterface::load_unit(const std::vector<uint8_t>& image, uint8_t module, uint8_t slot) {
  if (image.empty() || !(state & kStateHandshakeComplete) || pending.kind != kIdle) return false;

  const bool verbose = options & kOptionVerbose;
  auto load = [&]() {
    if (verbose) {
      out_text(std::string("> Loading \"") + module_display_name(module) + "\" unit \"" +
               unit_name(image) + "\" into slot #" + std::to_string(slot) + "\n\n");
    }
    const uint32_t crc = crc32(image.data(), image.size());
    char sizes[48];
    std::snprintf(sizes, sizeof sizes, "size: %x crc32: %x",
                  static_cast<unsigned>(image.size()), static_cast<unsigned>(crc));
    out_line(sizes);

    send_request(make_unit_load_request(info.address(), module, slot,
                                        make_load_data(image, crc)));
    const WaitOutcome outcome = wait_for_reply(kFlagLoadAck, kLoadTimeoutMs);
    if (outcome != WaitOutcome::received) {
      report_wait_failure(outcome, kUnitLoad, pending.error_code,
                          "Error: Unit load request timed out.");
      return false;
    }
    if (verbose) out_line("");
    return true;
  };
  return walk_request_kinds(pending, [&](uint32_t kind) { return kind != kUnitLoad || load(); });
}

}  // namespace quave
