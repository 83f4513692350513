// Finding the kernel buffer behind an ALSA port, and sending long messages
// no faster than it frees.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>
#include <utility>
#include <vector>

#include "device/midi/system/output_room.hpp"
#include "device/midi/paced_send.hpp"

namespace quave {
namespace {

// Port types as the kernel reports them (bits of its sequencer interface).
constexpr uint32_t kCardMidiPort = 0x90002;    // generic MIDI, hardware, port
constexpr uint32_t kVirtualRawMidi = 0xA0002;  // generic MIDI, software, port
constexpr uint32_t kUmpPort = 0x90082;         // the same with UMP
constexpr uint32_t kApplication = 0x100002;    // generic MIDI, application

TEST(OutputRoom, OnlyACardsMidiHardwarePortLeadsToARawMidiOutput) {
  struct Row {
    const char* what;
    int card;
    uint32_t type;
    int port;
    bool found;
    int device, subdevice;
  };
  const Row rows[] = {
      {"USB device, first port", 1, kCardMidiPort, 0, true, 0, 0},
      {"USB device, second port", 1, kCardMidiPort, 1, true, 0, 1},
      {"second raw MIDI device", 1, kCardMidiPort, 33, true, 1, 1},
      {"card 30, whose client number is a dynamic one", 30, kCardMidiPort, 0, true, 0, 0},
      {"virtual raw MIDI", 0, kVirtualRawMidi, 0, false, 0, 0},
      {"a card's UMP port", 2, kUmpPort, 1, false, 0, 0},
      {"an application", -1, kApplication, 0, false, 0, 0},
      {"a global client (Midi Through)", -1, kVirtualRawMidi, 0, false, 0, 0},
      {"no type at all", 3, 0, 0, false, 0, 0},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    const auto out = rawmidi_output_from(row.card, row.type, row.port);
    ASSERT_EQ(out.has_value(), row.found);
    if (!out) continue;
    EXPECT_EQ(out->card, row.card);
    EXPECT_EQ(out->device, row.device);
    EXPECT_EQ(out->subdevice, row.subdevice);
  }
}

TEST(OutputRoom, TheAddressEndsTheLibrarysPortName) {
  using Address = std::optional<std::pair<int, int>>;
  EXPECT_EQ(alsa_address_of("vestrel:vestrel SOUND 20:0"), Address({20, 0}));
  EXPECT_EQ(alsa_address_of("External MIDI:External MIDI MIDI 1 140:1"), Address({140, 1}));
  EXPECT_EQ(alsa_address_of("vestrel SOUND"), std::nullopt);  // another library's form
  EXPECT_EQ(alsa_address_of("vestrel:vestrel SOUND 20:x"), std::nullopt);
  EXPECT_EQ(alsa_address_of("vestrel:vestrel SOUND -1:0"), std::nullopt);
}

TEST(OutputRoom, RoomIsTheOpenOutputsAvailLine) {
  const std::string proc =
      "vestrel\n\n"
      "Output 0\n  Tx bytes     : 7651\n  Owner PID    : 0\n  Mode         : native\n"
      "  Buffer size  : 4096\n  Avail        : 3840\n"
      "Output 1\n  Tx bytes     : 0\n"
      "Input 0\n  Rx bytes     : 12\n  Owner PID    : 0\n  Mode         : native\n"
      "  Buffer size  : 4096\n  Avail        : 12\n  Overruns     : 0\n";
  EXPECT_EQ(output_room_in(proc, 0), std::optional<size_t>(3840));
  EXPECT_EQ(output_room_in(proc, 1), std::nullopt);  // closed: no room shown
  EXPECT_EQ(output_room_in(proc, 2), std::nullopt);
  EXPECT_EQ(output_room_in("", 0), std::nullopt);
  EXPECT_EQ(output_room_in("Output 0\n  Avail        : lots\n", 0), std::nullopt);
}

TEST(OutputRoom, AFileThatCannotBeReadShowsNoRoom) {
  const std::filesystem::path dir = std::filesystem::temp_directory_path() /
                                    ("quave-room-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  std::ofstream(dir / "midi0") << "Output 0\n  Avail        : 3840\n";
  const struct {
    std::filesystem::path path;
    std::optional<size_t> room;
  } rows[] = {
      {dir / "midi0", 3840},
      {dir / "midi1", std::nullopt},  // gone before it was opened
      {dir, std::nullopt},            // opens, then every read fails
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.path);
    EXPECT_EQ(output_room_at(row.path.string(), 0), row.room);
  }
  std::filesystem::remove_all(dir);
}

// A buffer of `size` bytes in front of a link that drains `per_poll` bytes
// each time the sender pauses.
struct FakeLink {
  size_t size;
  size_t per_poll;
  size_t held = 0;
  size_t most_held = 0;
  std::vector<uint8_t> wire;
  bool dropped = false;
};

TEST(OutputRoom, SendingByRoomNeverOverfillsTheBuffer) {
  std::vector<uint8_t> message(18744, 0x11);
  message.front() = 0xF0;
  message.back() = 0xF7;
  for (const size_t per_poll : {1u, 40u, 5000u}) {
    SCOPED_TRACE(per_poll);
    FakeLink link{4096, per_poll, 0, 0, {}, false};
    int pauses = 0;
    ASSERT_EQ(SendEnd::sent, send_paced(
        message.data(), message.size(), Pacing{256, 256, 2048, 3125},
        [&](const uint8_t* b, size_t n) {
          if (link.held + n > link.size) link.dropped = true;
          link.held += n;
          link.most_held = std::max(link.most_held, link.held);
          link.wire.insert(link.wire.end(), b, b + n);
          return true;
        },
        [&](uint64_t us) {
          // The room decides, polled each millisecond, not the DIN rate's
          // long pauses.
          EXPECT_EQ(us, 1000u);
          ++pauses;
          link.held -= std::min(link.held, link.per_poll);
          return true;
        },
        [&]() -> std::optional<size_t> { return link.size - link.held; }));
    EXPECT_FALSE(link.dropped);
    EXPECT_LE(link.most_held, link.size);
    EXPECT_EQ(link.wire, message);
    // A link that drains at once costs one pause a buffer-full, not one a fragment.
    if (per_poll >= link.size) {
      EXPECT_LE(pauses, static_cast<int>(message.size() / link.size));
    }
  }
}

TEST(OutputRoom, FallsBackToTheRateWhenTheRoomIsUnknownAndGivesUpOnAStalledLink) {
  std::vector<uint8_t> message(4000, 0x22);
  message.front() = 0xF0;
  message.back() = 0xF7;
  const Pacing din{256, 256, 2048, 3125};
  int sends = 0;
  const auto start = std::chrono::steady_clock::now();
  ASSERT_EQ(SendEnd::sent, send_paced(
      message.data(), message.size(), din, [&](const uint8_t*, size_t) { return ++sends > 0; },
      [](uint64_t us) {
        std::this_thread::sleep_for(std::chrono::microseconds(us));
        return true;
      },
      [] { return std::optional<size_t>(); }));
  // Only the time paces here: the last fragment, at byte 3840, waits for
  // 1792 bytes past the burst at 3125 bytes a second.
  const auto took = std::chrono::steady_clock::now() - start;
  EXPECT_GE(std::chrono::duration_cast<std::chrono::microseconds>(took).count(), 573440);

  // A room that stops growing is given up on, three seconds after the last
  // fragment that found room.
  sends = 0;
  std::chrono::steady_clock::time_point last_room;
  EXPECT_EQ(SendEnd::stalled, send_paced(
      message.data(), message.size(), din,
      [&](const uint8_t*, size_t) {
        last_room = std::chrono::steady_clock::now();
        return ++sends > 0;
      },
      [&](uint64_t us) {
        std::this_thread::sleep_for(std::chrono::microseconds(us * 500));
        return true;
      },
      [&]() -> std::optional<size_t> { return sends < 3 ? 4096 : 100; }));
  EXPECT_EQ(sends, 3);
  EXPECT_GE(std::chrono::steady_clock::now() - last_room, std::chrono::seconds(3));
}

}  // namespace
}  // namespace quave
