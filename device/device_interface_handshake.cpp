// The handshake: who the device is, its versions, modules and slots.
#include "base/console.hpp"
#include "device/device_interface.hpp"
#include "device/identity_lines.hpp"
#include "device/record_handlers.hpp"
#include "device/step_walk.hpp"
#include "unit/identifiers.hpp"

namespace quave {

namespace {

constexpr uint32_t kHandshakeTimeoutMs = 1000;

class HandshakeSteps {
 public:
  explicit HandshakeSteps(DeviceInterface& device)
      : device_(device), pending_(device.pending), verbose_(device.options & kOptionVerbose) {}

  bool operator()(uint32_t kind) {
    switch (kind) {
      case kSearchDevice: return search_device();
      case kApiVersion: return api_version();
      case kModuleInfo: return module_info();
      case kSlotStatus: return slot_status();
      default: return true;  // kinds 5 to 7 have nothing to ask
    }
  }

 private:
  bool failed(WaitOutcome outcome, const char* timeout_line) {
    report_wait_failure(outcome, pending_.kind, pending_.error_code, timeout_line);
    return false;
  }

  bool search_device() {
    device_.send_request(make_search_device_request());
    const WaitOutcome outcome = device_.wait_for_reply(kFlagSearch, kHandshakeTimeoutMs);
    if (outcome != WaitOutcome::received) {
      return failed(outcome, "Error: Search device request timed out.");
    }
    if (verbose_) {
      const DeviceInfo& info = device_.info;
      const uint8_t platform = platform_from_family(info.model_id[1], info.model_id[2]);
      out_line(device_line(platform));
      out_line(system_version_line(info));
    }
    return true;
  }

  bool api_version() {
    device_.send_request(make_api_version_request(device_.info.address()));
    const WaitOutcome outcome = device_.wait_for_reply(kFlagApiVersion, kHandshakeTimeoutMs);
    if (outcome != WaitOutcome::received) {
      return failed(outcome, "Error: API version request timed out.");
    }
    if (verbose_) out_line(api_version_line(device_.info));
    return true;
  }

  bool module_info() {
    if (verbose_) out_text("> Available modules:\n\n");
    for (;;) {
      const uint32_t asked = pending_.index;
      const uint8_t module = asked & 0x7F;
      device_.send_request(make_module_info_request(device_.info.address(), module));
      const WaitOutcome outcome =
          device_.wait_for_reply(kFlagModulesDone, kHandshakeTimeoutMs, asked);
      if (outcome == WaitOutcome::progressed) continue;
      if (outcome != WaitOutcome::received) {
        return failed(outcome, "Error: Module info request timed out.");
      }
      if (verbose_) out_line("");
      return true;
    }
  }

  bool slot_status() {
    if (verbose_) out_line("> Status:");
    for (;;) {
      const uint32_t index = pending_.index;
      const uint32_t m = (index >> 8) & 0x7F;
      const uint32_t s = index & 0x7F;
      if (m >= kModuleCount) break;  // the handlers never move past module 4
      if (device_.info.modules[m].slot_count() == 0) {
        if (m == 4) {
          pending_.flags |= kFlagSlotsDone;
          break;
        }
        pending_.index = (m + 1) * 256;
        continue;
      }
      if (s == 0 && verbose_) out_line("");
      device_.send_request(make_slot_status_request(device_.info.address(),
                                                    static_cast<uint8_t>(m),
                                                    static_cast<uint8_t>(s)));
      const WaitOutcome outcome =
          device_.wait_for_reply(kFlagSlotsDone, kHandshakeTimeoutMs, index);
      if (outcome == WaitOutcome::progressed) continue;
      if (outcome != WaitOutcome::received) {
        // The same words as the module step.
        return failed(outcome, "Error: Module info request timed out.");
      }
      break;
    }
    if (verbose_) out_line("");
    return true;
  }

  DeviceInterface& device_;
  PendingRequest& pending_;
  const bool verbose_;
};

}  // namespace

bool DeviceInterface::handshake() {
  if (!(state & kStatePortsOpen) || pending.kind != kIdle) return false;
  if (!walk_request_kinds(pending, HandshakeSteps(*this))) return false;
  state |= kStateHandshakeComplete;
  return true;
}

}  // namespace quave
