// Emptying one slot, or every slot of a module, on the device.
#include "device/device_interface.hpp"
#include "device/step_walk.hpp"
#include "unit/identifiers.hpp"

namespace quave {

namespace {

constexpr uint32_t kClearSlotTimeoutMs = 1000;
// The device erases the whole module before it answers.
constexpr uint32_t kClearModuleTimeoutMs = 20000;

bool run_clear(DeviceInterface& device, const Message& request, uint32_t timeout_ms) {
  auto clear = [&]() {
    device.send_request(request);
    const WaitOutcome outcome = device.wait_for_reply(kFlagClearAck, timeout_ms);
    if (outcome == WaitOutcome::received) return true;
    report_wait_failure(outcome, kClear, device.pending.error_code,
                        "Error: Clear command timed out.");
    return false;
  };
  return walk_request_kinds(device.pending,
                            [&](uint32_t kind) { return kind != kClear || clear(); });
}

bool may_clear(const DeviceInterface& device, uint8_t module) {
  return module < kModuleCount && (device.state & kStateHandshakeComplete) && device.pending.kind == kIdle;
}

}  // namespace

bool DeviceInterface::clear_slot(uint8_t module, uint8_t slot) {
  if (!may_clear(*this, module)) return false;
  return run_clear(*this, make_slot_clear_request(info.address(), module & 0x7F, slot),
                   kClearSlotTimeoutMs);
}

bool DeviceInterface::clear_module(uint8_t module) {
  if (!may_clear(*this, module)) return false;
  return run_clear(*this, make_module_clear_request(info.address(), module & 0x7F),
                   kClearModuleTimeoutMs);
}

}  // namespace quave
