#include "tools/devsim/load_check.hpp"

#include "device/protocol/messages.hpp"
#include "tools/devsim/replies.hpp"
#include "base/bytes.hpp"
#include "unit/manifest.hpp"
#include "unit/unit_image.hpp"

namespace devsim {

uint8_t check_load(const SimConfig& config, uint8_t module, uint8_t slot,
                   const std::vector<uint8_t>& load_data) {
  // Transfer integrity first: nothing in the image can be trusted before.
  if (load_data.size() < 8) return kStatusFormat;
  const uint8_t* image = load_data.data() + 8;
  const size_t image_size = load_data.size() - 8;
  if (quave::get_le32(&load_data[0]) != image_size) return kStatusFormat;
  if (quave::get_le32(&load_data[4]) != quave::crc32(image, image_size)) return kStatusCrc;

  if (module >= kModules || config.modules[module].slot_count == 0) return kStatusInvalidModule;
  if (slot >= config.modules[module].slot_count) return kStatusInvalidSlot;
  if (image_size > config.modules[module].max_payload_size) return kStatusTooLarge;

  if (image_size < quave::kImageOverhead) return kStatusFormat;
  if (image[quave::kHdrPlatform] != config.platform) return kStatusInvalidTarget;
  if ((image[quave::kHdrModule] & 0x7F) != module) return kStatusInvalidTarget;
  // Units built for a newer minor or another major do not run here.
  const uint8_t api_major = image[quave::kHdrApi + 2];
  const uint8_t api_minor = image[quave::kHdrApi + 1];
  if (api_major != config.api_major || api_minor > config.api_minor) return kStatusApiVersion;
  return kStatusAcknowledge;
}

}  // namespace devsim
