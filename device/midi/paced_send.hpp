// Long SysEx messages on backends that cannot carry them whole. RtMidi's
// JACK output drops a message larger than its 16 KiB ring buffer, and a JACK
// server has a largest event of its own; on ALSA a receiving application
// loses a message its input pool cannot hold as one event, and a kernel
// port (a USB device, a DIN interface) keeps what fits in its 4 KiB buffer
// and drops the rest, with no back-pressure to the sender. So a long message
// goes out in SysEx fragments (the first starts with 0xF0, only the last
// ends with 0xF7: the bytes on the wire are the message's) where the link
// carries them and, on ALSA, no faster than the link behind the port
// drains. Where it does not (PipeWire's JACK since 1.3), a message longer
// than one event cannot go at all.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>

#include "device/link.hpp"
#include "device/midi/midi_port.hpp"
#include "device/midi/system/jack_server.hpp"
#include "device/midi/system/output_room.hpp"

namespace quave {

struct Pacing {
  // A message up to this long goes whole; a longer one in fragments.
  size_t whole_up_to = SIZE_MAX;
  size_t fragment = 0;            // 0: a longer message cannot go
  size_t burst = 0;               // bytes that may go at once
  uint32_t bytes_per_second = 0;  // after the burst; 0: no limit
};

// 5-pin DIN carries 31,250 baud, ten bits a byte.
constexpr uint32_t kDinBytesPerSecond = 3125;

// `ports_by_name`: the device's own ports, found by their names (a USB
// device drains its port fast); otherwise ports given by index, which may be
// a DIN interface and are paced for it. `jack`: the JACK server, on JACK.
Pacing pacing_for(MidiBackend backend, bool ports_by_name,
                  const std::optional<JackServer>& jack = std::nullopt);

// When the fragment at `offset` may go, in microseconds after the first.
uint64_t release_us(size_t offset, const Pacing& pacing);

// How often the room is read while a fragment waits for it.
constexpr uint64_t kRoomPollUs = 1000;

// Sends `size` bytes through `send` (one call per fragment), pausing in
// `pause_us` between fragments; a pause that returns false ends the sending
// (SendEnd::stopped). A message the pacing does not let go at all is not
// sent (SendEnd::failed). With `room`, each fragment goes as soon as the buffer
// has room for it, which follows the device's own pace; without it, or
// while it tells nothing, as `pacing`'s rate requires. A room that has not
// grown for kStallAfter ends it as stalled. `progress` hears the bytes sent
// so far after each fragment. Nothing more goes out after a failed send.
SendEnd send_paced(const uint8_t* bytes, size_t size, const Pacing& pacing,
                   const std::function<bool(const uint8_t*, size_t)>& send,
                   const std::function<bool(uint64_t)>& pause_us, const RoomFeedback& room = {},
                   const std::function<void(size_t)>& progress = {});

}  // namespace quave
