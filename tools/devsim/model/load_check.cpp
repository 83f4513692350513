#include "tools/devsim/model/load_check.hpp"

#include "tools/devsim/device/load.hpp"
#include "tools/devsim/model/replies.hpp"

namespace devsim {

uint8_t check_load(const SimConfig& config, uint8_t module, uint8_t slot,
                   const std::vector<uint8_t>& load_data) {
  // Transfer integrity first: nothing in the image can be trusted before.
  const uint8_t transfer = device_side::check_transfer(load_data);
  if (transfer != kStatusAcknowledge) return transfer;
  const uint8_t* image = load_data.data() + device_side::kImageAt;
  const size_t image_size = load_data.size() - device_side::kImageAt;

  if (module >= kModules || config.modules[module].slot_count == 0) return kStatusInvalidModule;
  if (slot >= config.modules[module].slot_count) return kStatusInvalidSlot;
  if (image_size > config.modules[module].max_payload_size) return kStatusTooLarge;

  const auto target = device_side::read_unit_header(image, image_size);
  if (!target) return kStatusFormat;
  if (target->platform != config.platform) return kStatusInvalidTarget;
  if (target->module != module) return kStatusInvalidTarget;
  // Units built for a newer minor or another major do not run here.
  if (target->api_major != config.api_major || target->api_minor > config.api_minor) {
    return kStatusApiVersion;
  }
  return kStatusAcknowledge;
}

}  // namespace devsim
