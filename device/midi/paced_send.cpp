#include "device/midi/paced_send.hpp"

#include <algorithm>
#include <chrono>

namespace quave {

namespace {

// ALSA fragment size. RtMidi's ALSA output encodes each send with an event
// encoder whose buffer grows to the largest message sent so far (32 bytes at
// first) and which emits a SysEx event only when that buffer is full or at
// 0xF7. Every fragment but the last is therefore exactly this long, and this
// is longer than any request sent before a load, so that the buffer holds
// one fragment exactly and each send becomes one event.
constexpr size_t kAlsaFragment = 256;
// Below the 4 KiB a kernel port buffers and the 5-6 KB an application's
// default input pool holds, with room for a slow reader.
constexpr size_t kAlsaBurst = 2048;
// The device's own USB ports: fast enough that a 16 KiB image takes a
// fraction of a second, slow enough that an application reading its input on
// a busy machine keeps up.
constexpr uint32_t kUsbBytesPerSecond = 64 * 1024;
// Well inside RtMidi's JACK ring buffer, whose writer waits for room.
constexpr size_t kJackFragment = 4096;
// RtMidi's JACK output takes a message whole into its 16 KiB ring buffer,
// behind four bytes of length (the ring holds a byte less than its size),
// and drops a longer one.
constexpr size_t kRtMidiJackLongest = 16384 - 1 - 4;
constexpr uint64_t kStallUs =
    std::chrono::duration_cast<std::chrono::microseconds>(kStallAfter).count();

}  // namespace

Pacing pacing_for(MidiBackend backend, bool ports_by_name, const std::optional<JackServer>& jack) {
  switch (backend) {
    case MidiBackend::alsa:
      return {kAlsaFragment, kAlsaFragment, kAlsaBurst,
              ports_by_name ? kUsbBytesPerSecond : kDinBytesPerSecond};
    case MidiBackend::jack: {
      const JackServer server = jack.value_or(jack_server_from(""));
      return {std::min(server.largest_event, kRtMidiJackLongest),
              server.carries_continuations ? kJackFragment : 0, 0, 0};
    }
    case MidiBackend::other:
      break;
  }
  // CoreMIDI refuses a send over 3 bytes that does not start with 0xF0, so
  // other backends get the message whole.
  return {};
}

uint64_t release_us(size_t offset, const Pacing& pacing) {
  if (pacing.bytes_per_second == 0 || offset <= pacing.burst) return 0;
  return (static_cast<uint64_t>(offset - pacing.burst) * 1000000u) / pacing.bytes_per_second;
}

SendEnd send_paced(const uint8_t* bytes, size_t size, const Pacing& pacing,
                   const std::function<bool(const uint8_t*, size_t)>& send,
                   const std::function<bool(uint64_t)>& pause_us, const RoomFeedback& room,
                   const std::function<void(size_t)>& progress) {
  if (size <= pacing.whole_up_to) return send(bytes, size) ? SendEnd::sent : SendEnd::failed;
  if (pacing.fragment == 0) return SendEnd::failed;
  using Clock = std::chrono::steady_clock;
  const Clock::time_point start = Clock::now();
  const auto elapsed_us = [](Clock::time_point since) {
    return static_cast<uint64_t>(
        std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - since).count());
  };
  for (size_t offset = 0; offset < size; offset += pacing.fragment) {
    const size_t length = std::min(pacing.fragment, size - offset);
    std::optional<size_t> free = room ? room() : std::nullopt;
    if (free) {
      Clock::time_point grew = Clock::now();
      while (free && *free < length) {
        if (elapsed_us(grew) >= kStallUs) return SendEnd::stalled;
        if (!pause_us(kRoomPollUs)) return SendEnd::stopped;
        const std::optional<size_t> now = room();
        if (now && *now > *free) grew = Clock::now();
        free = now;
      }
    }
    if (!free) {
      for (;;) {
        const uint64_t elapsed = elapsed_us(start);
        const uint64_t due = release_us(offset, pacing);
        if (elapsed >= due) break;
        if (!pause_us(due - elapsed)) return SendEnd::stopped;
      }
    }
    if (!send(bytes + offset, length)) return SendEnd::failed;
    if (progress) progress(offset + length);
  }
  return SendEnd::sent;
}

}  // namespace quave
