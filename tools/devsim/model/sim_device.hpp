// The simulated device: recognises the requests addressed to it, keeps its
// slots in memory and answers like a device would.
#pragma once

#include <array>
#include <optional>
#include <vector>

#include "tools/devsim/model/replies.hpp"
#include "tools/devsim/model/sim_config.hpp"

namespace devsim {

// What a request asks for, or nothing when it is not a request to this
// device (another manufacturer, another model, another channel, an unknown
// function).
std::optional<Kind> classify_request(const SimConfig& config, const Message& request);

class SimDevice {
 public:
  // Fills the slots from the preloads; `config` must outlive the device.
  explicit SimDevice(const SimConfig& config);

  // Carries out a request of kind `kind` and returns the answer (normally
  // one reply). Faults are not applied here.
  std::vector<Message> handle(Kind kind, const Message& request);

  // All zero when free.
  const SlotRecord& slot(uint8_t module, uint8_t slot) const {
    return slots_[module][slot];
  }

 private:
  Message module_info(const Message& request) const;
  Message slot_status(const Message& request) const;
  Message slot_clear(const Message& request);
  Message module_clear(const Message& request);
  Message load(const Message& request);
  // kStatusAcknowledge when (module, slot) exists; the refusal's status otherwise.
  uint8_t check_address(uint8_t module, uint8_t slot) const;

  const SimConfig& config_;
  std::array<std::vector<SlotRecord>, kModules> slots_;
};

}  // namespace devsim
