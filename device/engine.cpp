#include "device/engine.hpp"

#include <boost/chrono.hpp>
#include <boost/thread/thread.hpp>
#include <cstdio>

#include "base/console.hpp"
#include "device/interrupt.hpp"
#include "device/record_handlers.hpp"
#include "unit/identifiers.hpp"

namespace quave {

void pause_10ms() {
  boost::this_thread::sleep_until(boost::chrono::system_clock::now() +
                                  boost::chrono::milliseconds(10));
}

void polling_turn() {
  pause_10ms();
  throw_if_interrupted();
}

namespace {

void dump_reply(const Message& m) { dump_message("<<< ", m.data(), m.size()); }

void dispatch_status_reply(PendingRequest& pending, const Message& reply, uint32_t kind) {
  if (!is_status_reply(reply, pending.info->address())) return;
  if (pending.options & kOptionDebug) dump_reply(reply);
  const StatusMeaning meaning = status_meaning(kind, reply[6]);
  switch (meaning.type) {
    case StatusMeaning::acknowledge:
      pending.error_code = 0;
      pending.flags |= kind == kClear ? kFlagClearAck : kFlagLoadAck;
      break;
    case StatusMeaning::error:
      pending.error_code = meaning.code;
      pending.flags |= kFlagDeviceError;
      break;
    case StatusMeaning::unrecognised: {
      char text[80];
      std::snprintf(text, sizeof text,
                    "Warning: Unrecognized status message received. (0x%x)", reply[6]);
      err_line(text);
      break;
    }
  }
}

}  // namespace

void dispatch_reply(PendingRequest& pending, Message& message) {
  if (pending.flags & kFlagDeviceError) return;
  const uint32_t kind = pending.kind;
  const bool debug = pending.options & kOptionDebug;
  if (kind == kDumpOnly) {
    dump_reply(message);
    return;
  }
  if (kind == kIdle || kind > kDumpOnly) {
    if (debug) dump_reply(message);
    return;
  }

  strip_realtime_bytes(message);
  DeviceInfo& info = *pending.info;
  switch (kind) {
    case kSearchDevice:
      // Once accepted, a repeat must not rewrite what the command's thread
      // is now reading.
      if ((pending.flags & kFlagSearch) || !is_search_device_reply(message)) return;
      store_search_reply(info, message);
      if (debug) dump_reply(message);
      pending.flags |= kFlagSearch;
      return;
    case kApiVersion: {
      if ((pending.flags & kFlagApiVersion) || !is_api_version_reply(message, info.address()))
        return;
      const uint8_t platform = message[7] & 0x7F;
      if (!is_known_platform(platform)) {
        pending.error_code = kErrorWrongPlatform;
        pending.flags |= kFlagDeviceError;
        return;
      }
      store_api_version_reply(info, message);
      if (debug) dump_reply(message);
      pending.flags |= kFlagApiVersion;
      return;
    }
    case kModuleInfo:
      handle_module_info_reply(pending, message);
      return;
    case kSlotStatus:
      handle_slot_status_reply(pending, message);
      return;
    default:  // kClear, kUnitLoad
      dispatch_status_reply(pending, message, kind);
      return;
  }
}

WaitOutcome wait_for_reply(PendingRequest& pending, uint32_t flag_mask, uint32_t timeout_ms) {
  return wait_for_reply(pending, flag_mask, timeout_ms, pending.index);
}

WaitOutcome wait_for_reply(PendingRequest& pending, uint32_t flag_mask, uint32_t timeout_ms,
                           uint32_t start_index) {
  switch (pending.link_fault) {
    case LinkFault::gone: return WaitOutcome::device_gone;
    case LinkFault::stalled: return WaitOutcome::device_stalled;
    case LinkFault::none: break;
  }
  const auto gone = [&pending] { return pending.device_present && !pending.device_present(); };
  bool went = false;
  for (unsigned turn = 1;; ++turn) {
    polling_turn();
    flush_both();
    timeout_ms = timeout_ms > 10 ? timeout_ms - 10 : 0;
    if (timeout_ms == 0) break;
    if (pending.index != start_index) break;
    if (pending.flags & (flag_mask | kFlagDeviceError)) break;
    if (turn % 10 == 0 && (went = gone())) break;
  }
  const uint32_t flags = pending.flags;
  if (flags & kFlagDeviceError) return WaitOutcome::device_error;
  if (flags & flag_mask) return WaitOutcome::received;
  if (pending.index != start_index) return WaitOutcome::progressed;
  // A device that went away is why nothing came.
  if (went || gone()) {
    pending.link_fault = LinkFault::gone;
    return WaitOutcome::device_gone;
  }
  return WaitOutcome::timed_out;
}

}  // namespace quave
