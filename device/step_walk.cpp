#include "device/step_walk.hpp"

#include <string>

#include "base/console.hpp"
#include "device/paced_send.hpp"

namespace quave {

bool walk_request_kinds(PendingRequest& pending, const std::function<bool(uint32_t)>& step) {
  pending.kind = kSearchDevice;
  pending.index = 0;
  pending.clear_error();
  for (;;) {
    const uint32_t kind = pending.kind;
    if (kind < kSearchDevice || kind > kDumpOnly) {
      // Spelt as scripts match it; do not correct.
      err_line("Error: An internal error occured, aborting.");
      pending.reset();
      return false;
    }
    if (!step(kind)) {
      pending.reset();
      return false;
    }
    polling_turn();
    if (kind == kDumpOnly) break;
    pending.kind = kind + 1;
    pending.index = 0;
    pending.clear_error();
  }
  pending.reset();
  return true;
}

void report_wait_failure(WaitOutcome outcome, uint32_t kind, uint32_t error_code,
                         const char* timeout_line) {
  switch (outcome) {
    case WaitOutcome::timed_out:
      err_line(timeout_line);
      break;
    case WaitOutcome::device_error:
      err_line(device_error_line(kind, error_code));
      break;
    case WaitOutcome::device_gone:
      err_line("Error: The quave device is gone (unplugged or switched off).");
      break;
    case WaitOutcome::device_stalled:
      err_line("Error: The quave device stopped reading (nothing taken for " +
               std::to_string(kRoomStallUs / 1000000) + " seconds).");
      break;
    default:
      err_line("Error: Unexpected error.");
      break;
  }
}

}  // namespace quave
