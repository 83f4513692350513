// The request/reply engine: one pending request per interface, replies
// dispatched on the MIDI input thread, the command's thread polling in 10 ms
// turns.
#pragma once

#include <cstdint>

#include "device/messages.hpp"
#include "device/pending_request.hpp"

namespace quave {

// Examines one inbound message according to the pending kind; fills `info`
// through the record handlers, moves flags/index/error_code on, prints dumps,
// the unrecognised-status warning and the verbose module and slot lines.
void dispatch_reply(PendingRequest& pending, Message& message);

// Polls every 10 ms (flushing stdout and stderr each turn) until a bit of
// `flag_mask` or the error bit is set, `index` moves, `timeout_ms` runs out,
// or the device's port goes away (asked every 100 ms). A link fault left by
// the send ends it at once.
// `index` is compared with its value on entry; the handshake passes the index
// it asked for instead, since a quick reply can move it before the wait starts.
WaitOutcome wait_for_reply(PendingRequest& pending, uint32_t flag_mask, uint32_t timeout_ms);
WaitOutcome wait_for_reply(PendingRequest& pending, uint32_t flag_mask, uint32_t timeout_ms,
                           uint32_t asked_index);

// Sleeps until 10 ms past the current system time.
void pause_10ms();
// One turn of a command's polling: pause_10ms, then Interrupted if SIGINT or
// SIGTERM came in the meantime.
void polling_turn();

}  // namespace quave
