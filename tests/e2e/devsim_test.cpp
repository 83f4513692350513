// The harness proving itself: a private JACK server, the simulator on it, and
// a bare RtMidi client talking to the simulator's ports.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <iostream>
#include <memory>

#include "device/protocol/messages.hpp"
#include "tests/support/midi_client.hpp"
#include "tests/support/midi_rig.hpp"
#include "tests/support/sim_units.hpp"

namespace quave::test {
namespace {

const DeviceAddress kVestrel{0, {0x00, 0x01, 0x4B}};

// A server, one simulator with `options` and a client on its ports.
struct Session {
  explicit Session(const std::vector<std::string>& options,
                   const std::string& model = "vestrel") {
    sim = rig.start_sim(options);
    try {
      client = std::make_unique<MidiClient>(rig.server_name(), model + " KBD/KNOB", model + " SOUND");
    } catch (...) {
      std::cerr << rig.diagnostics();
      throw;
    }
  }
  MidiRig rig;
  int sim = 0;
  std::unique_ptr<MidiClient> client;
};

Bytes api_reply(uint8_t platform) {
  return {0xF0, 0x42, 0x30, 0x00, 0x01, 0x4B, 0x47, platform, 0x01, 0x01, 0x00, 0xF7};
}

Bytes status_reply(uint8_t status) { return {0xF0, 0x42, 0x30, 0x00, 0x01, 0x4B, status, 0xF7}; }

Bytes free_slot_reply(uint8_t module, uint8_t slot) {
  return {0xF0, 0x42, 0x30, 0x00, 0x01, 0x4B, 0x49, module, slot, 0x00, 0xF7};
}

TEST(DevsimE2E, SearchReplyNamesModelChannelAndSystemVersion) {
  struct Row {
    std::vector<std::string> options;
    std::string model;
    Bytes reply;
  };
  const Row rows[] = {
      {{}, "vestrel",
       {0xF0, 0x42, 0x50, 0x01, 0x00, 0x55, 0x4B, 0x01, 0x00, 0x00, 0x01, 0x00, 0x0A, 0x00, 0xF7}},
      {{"--platform", "orvalt-tonal", "--channel", "5", "--system-version", "2.3"}, "orvalt tonal",
       {0xF0, 0x42, 0x50, 0x01, 0x05, 0x55, 0x57, 0x01, 0x00, 0x00, 0x02, 0x00, 0x03, 0x00, 0xF7}},
      {{"--platform", "halvane-rx", "--port-tag", "#2"}, "halvane rx #2",
       {0xF0, 0x42, 0x50, 0x01, 0x00, 0x55, 0x51, 0x01, 0x00, 0x00, 0x01, 0x00, 0x0A, 0x00, 0xF7}},
  };
  for (const Row& row : rows) {
    Session s(row.options, row.model);
    const Bytes request{0xF0, 0x42, 0x50, 0x00, 0x55, 0xF7};
    EXPECT_EQ(s.client->exchange(request), std::vector<Bytes>{row.reply}) << row.model;
    EXPECT_EQ(s.rig.wait_for_log_lines(s.sim, 1), std::vector<std::string>{"f0 42 50 00 55 f7"});
  }
}

TEST(DevsimE2E, HandshakeRequestsGetTheirReplies) {
  Session s({"--api-version", "1.2-3"});
  EXPECT_EQ(s.client->exchange(make_api_version_request(kVestrel)),
            (std::vector<Bytes>{{0xF0, 0x42, 0x30, 0x00, 0x01, 0x4B, 0x47, 0x01, 0x01, 0x02, 0x03, 0xF7}}));
  // Oscillator: 12288-byte images, 24576 load size, 16 slots; all below 0x80.
  EXPECT_EQ(s.client->exchange(make_module_info_request(kVestrel, 4)),
            (std::vector<Bytes>{{0xF0, 0x42, 0x30, 0x00, 0x01, 0x4B, 0x48, 0x04, 0x00,
                                 0x00, 0x00, 0x30, 0x00, 0x00, 0x00, 0x60, 0x00,
                                 0x00, 0x00, 0x10, 0x00, 0x00, 0x00, 0x00, 0x00,
                                 0x00, 0x00, 0x00, 0xF7}}));
  EXPECT_EQ(s.client->exchange(make_slot_status_request(kVestrel, 4, 15)),
            std::vector<Bytes>{free_slot_reply(4, 15)});
  // A slot the module does not have, and a module without slots.
  EXPECT_EQ(s.client->exchange(make_slot_status_request(kVestrel, 4, 16)),
            std::vector<Bytes>{status_reply(0x2D)});
  EXPECT_EQ(s.client->exchange(make_slot_status_request(kVestrel, 0, 0)),
            std::vector<Bytes>{status_reply(0x2C)});
  EXPECT_EQ(s.rig.wait_for_log_lines(s.sim, 5).at(1), "f0 42 30 00 01 4b 18 04 f7");
}

TEST(DevsimE2E, LoadWithWrongCrcIsRefusedAndStoresNothing) {
  Session s({});
  const auto image = test_unit_image({});
  EXPECT_EQ(s.client->exchange(load_request(4, 2, load_data_for(image, 0x1))),
            std::vector<Bytes>{status_reply(0x28)});
  EXPECT_EQ(s.client->exchange(make_slot_status_request(kVestrel, 4, 2)),
            std::vector<Bytes>{free_slot_reply(4, 2)});
}

TEST(DevsimE2E, LoadedUnitShowsInSlotStatusUntilCleared) {
  Session s({});
  const auto image = test_unit_image({});
  EXPECT_EQ(s.client->exchange(load_request(4, 2, load_data_for(image))),
            std::vector<Bytes>{status_reply(0x23)});

  const auto replies = s.client->exchange(make_slot_status_request(kVestrel, 4, 2));
  ASSERT_EQ(replies.size(), 1u);
  ASSERT_EQ(replies[0].size(), 10u + 37u + 1u);
  EXPECT_EQ(Bytes(replies[0].begin(), replies[0].begin() + 10),
            (Bytes{0xF0, 0x42, 0x30, 0x00, 0x01, 0x4B, 0x49, 0x04, 0x02, 0x00}));
  EXPECT_EQ(unpack_7bit(replies[0], 10), std::vector<uint8_t>(image.begin(), image.begin() + 32));

  // Clears carry byte 2 = 0x30, which the device accepts on any channel.
  EXPECT_EQ(s.client->exchange(make_slot_clear_request(kVestrel, 4, 2)),
            std::vector<Bytes>{status_reply(0x23)});
  EXPECT_EQ(s.client->exchange(make_slot_status_request(kVestrel, 4, 2)),
            std::vector<Bytes>{free_slot_reply(4, 2)});

  ASSERT_EQ(s.client->exchange(load_request(4, 9, load_data_for(image))),
            std::vector<Bytes>{status_reply(0x23)});
  EXPECT_EQ(s.client->exchange(make_module_clear_request(kVestrel, 4)),
            std::vector<Bytes>{status_reply(0x23)});
  EXPECT_EQ(s.client->exchange(make_slot_status_request(kVestrel, 4, 9)),
            std::vector<Bytes>{free_slot_reply(4, 9)});
}

TEST(DevsimE2E, LargestDefaultLoadFitsOneMessage) {
  Session s({});
  // 12288-byte image: the oscillator's default limit.
  const auto image = test_unit_image({4, 1, 1, 1, 12288 - 1156});
  const auto request = load_request(4, 0, load_data_for(image));
  EXPECT_LT(request.size(), 16383u);
  EXPECT_EQ(s.client->exchange(request), std::vector<Bytes>{status_reply(0x23)});
  const auto lines = s.rig.wait_for_log_lines(s.sim, 1);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(parse_hex_line(lines[0]), request);
}

TEST(DevsimE2E, SignalEndsTheSimulator) {
  MidiRig rig;
  const int sim = rig.start_sim({});
  const auto started = std::chrono::steady_clock::now();
  rig.stop_sim(sim);
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(2));
  EXPECT_EQ(rig.sim_stderr(sim).find("Error"), std::string::npos) << rig.sim_stderr(sim);
  EXPECT_THROW(MidiClient(rig.server_name(), "vestrel KBD/KNOB", "vestrel SOUND"), std::exception);
}

// Each fault switch, and what it changes in the answer.
struct FaultRow {
  const char* name;
  std::vector<std::string> options;
  std::function<void(MidiClient&)> check;
};

class DevsimFault : public testing::TestWithParam<FaultRow> {};

TEST_P(DevsimFault, ChangesTheAnswer) {
  Session s(GetParam().options);
  GetParam().check(*s.client);
}

const Bytes kSearch{0xF0, 0x42, 0x50, 0x00, 0x55, 0xF7};

const FaultRow kFaultRows[] = {
    {"SilentAll", {"--silent", "all"},
     [](MidiClient& c) {
       EXPECT_TRUE(c.exchange(kSearch, 0).empty());
       EXPECT_TRUE(c.exchange(make_api_version_request(kVestrel), 0).empty());
     }},
    {"SilentOneKind", {"--silent", "slot-status"},
     [](MidiClient& c) {
       EXPECT_TRUE(c.exchange(make_slot_status_request(kVestrel, 4, 0), 0).empty());
       EXPECT_EQ(c.exchange(make_api_version_request(kVestrel)), std::vector<Bytes>{api_reply(1)});
     }},
    {"Delay", {"--delay", "api:400"},
     [](MidiClient& c) {
       // Other kinds stay prompt: a search sent after the late request is
       // answered before it. Order, not a clock, so a loaded machine agrees.
       const auto start = std::chrono::steady_clock::now();
       c.send(make_api_version_request(kVestrel));
       const auto got = c.exchange(kSearch, 2);
       const Bytes search_reply{0xF0, 0x42, 0x50, 0x01, 0x00, 0x55, 0x4B, 0x01,
                                0x00, 0x00, 0x01, 0x00, 0x0A, 0x00, 0xF7};
       EXPECT_EQ(got, (std::vector<Bytes>{search_reply, api_reply(1)}));
       EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(390));
     }},
    {"ApiPlatform", {"--api-platform", "9"},
     [](MidiClient& c) {
       EXPECT_EQ(c.exchange(make_api_version_request(kVestrel)), std::vector<Bytes>{api_reply(9)});
     }},
    {"WrongModule", {"--wrong-module", "module-info,slot-status"},
     [](MidiClient& c) {
       const auto info = c.exchange(make_module_info_request(kVestrel, 2));
       ASSERT_EQ(info.size(), 1u);
       EXPECT_EQ(info[0][7], 3);
       EXPECT_EQ(c.exchange(make_slot_status_request(kVestrel, 4, 1)),
                 std::vector<Bytes>{free_slot_reply(0, 1)});
     }},
    {"WrongSlot", {"--wrong-slot", "slot-status"},
     [](MidiClient& c) {
       EXPECT_EQ(c.exchange(make_slot_status_request(kVestrel, 4, 4)),
                 std::vector<Bytes>{free_slot_reply(4, 5)});
     }},
    {"MoreThanSixteenSlots", {"--slots", "osc:20"},
     [](MidiClient& c) {
       const auto info = c.exchange(make_module_info_request(kVestrel, 4));
       ASSERT_EQ(info.size(), 1u);
       EXPECT_EQ(unpack_7bit(info[0], 9)->at(8), 20);
       EXPECT_EQ(c.exchange(make_slot_status_request(kVestrel, 4, 19)),
                 std::vector<Bytes>{free_slot_reply(4, 19)});
     }},
    {"NoInfo", {"--no-info", "modfx"},
     [](MidiClient& c) {
       EXPECT_EQ(c.exchange(make_module_info_request(kVestrel, 1)),
                 (std::vector<Bytes>{{0xF0, 0x42, 0x30, 0x00, 0x01, 0x4B, 0x48, 0x01, 0x00, 0xF7}}));
     }},
    {"LoadStatus", {"--status", "load:0x25"},
     [](MidiClient& c) {
       const auto image = test_unit_image({});
       EXPECT_EQ(c.exchange(load_request(4, 0, load_data_for(image))),
                 std::vector<Bytes>{status_reply(0x25)});
       EXPECT_EQ(c.exchange(make_slot_status_request(kVestrel, 4, 0)),
                 std::vector<Bytes>{free_slot_reply(4, 0)});
     }},
    {"ClearStatus", {"--status", "clear:0x2f"},
     [](MidiClient& c) {
       EXPECT_EQ(c.exchange(make_slot_clear_request(kVestrel, 4, 0)),
                 std::vector<Bytes>{status_reply(0x2F)});
       EXPECT_EQ(c.exchange(make_module_clear_request(kVestrel, 4)),
                 std::vector<Bytes>{status_reply(0x2F)});
     }},
    {"RealtimeBytes", {"--realtime", "api"},
     [](MidiClient& c) {
       auto replies = c.exchange(make_api_version_request(kVestrel));
       ASSERT_EQ(replies.size(), 1u);
       Message m = replies[0];
       EXPECT_EQ(m.size(), 15u);
       EXPECT_EQ(strip_realtime_bytes(m), 12u);
       EXPECT_EQ(m, api_reply(1));
     }},
    {"Noise", {"--noise", "api"},
     [](MidiClient& c) {
       const auto got = c.exchange(make_api_version_request(kVestrel), 5);
       Bytes foreign = api_reply(1);
       foreign[1] = 0x7D;
       EXPECT_EQ(got, (std::vector<Bytes>{{0xF0, 0x7D, 0x01, 0x02, 0x03, 0xF7},
                                          {0x90, 0x3C, 0x40},
                                          {0x80, 0x3C, 0x00},
                                          foreign,
                                          api_reply(1)}));
     }},
    {"Twice", {"--twice", "search,api"},
     [](MidiClient& c) {
       EXPECT_EQ(c.exchange(make_api_version_request(kVestrel), 2),
                 (std::vector<Bytes>{api_reply(1), api_reply(1)}));
     }},
    {"Truncate", {"--truncate", "api:2"},
     [](MidiClient& c) {
       EXPECT_EQ(c.exchange(make_api_version_request(kVestrel)),
                 (std::vector<Bytes>{{0xF0, 0x42, 0x30, 0x00, 0x01, 0x4B, 0x47, 0x01, 0x01, 0xF7}}));
     }},
    {"Overlong", {"--overlong", "2"},
     [](MidiClient& c) {
       EXPECT_EQ(c.exchange(make_slot_clear_request(kVestrel, 4, 0)),
                 (std::vector<Bytes>{{0xF0, 0x42, 0x30, 0x00, 0x01, 0x4B, 0x23, 0x00, 0x00, 0xF7}}));
     }},
    {"StrictChannel", {"--channel", "2", "--strict-channel"},
     [](MidiClient& c) {
       // Clears keep byte 2 at 0x30; a strict device ignores them.
       EXPECT_TRUE(c.exchange(make_slot_clear_request(kVestrel, 4, 0), 0).empty());
       const DeviceAddress ch2{2, kVestrel.model_id};
       EXPECT_EQ(c.exchange(make_api_version_request(ch2)).size(), 1u);
     }},
    {"Preload", {"--preload", "osc:3:Saw:0x12345678:9:2.1-4"},
     [](MidiClient& c) {
       const auto replies = c.exchange(make_slot_status_request(kVestrel, 4, 3));
       ASSERT_EQ(replies.size(), 1u);
       const std::vector<uint8_t> record{4, 1, 0x00, 0x01, 0x01, 0x00, 0x78, 0x56, 0x34, 0x12,
                                         9, 0,    0,    0,    4, 1, 2, 0, 'S', 'a', 'w', 0,
                                         0, 0,    0,    0,    0, 0, 0, 0, 0,   0};
       EXPECT_EQ(unpack_7bit(replies[0], 10), record);
     }},
};

INSTANTIATE_TEST_SUITE_P(Switches, DevsimFault, testing::ValuesIn(kFaultRows),
                         [](const testing::TestParamInfo<FaultRow>& info) { return info.param.name; });

}  // namespace
}  // namespace quave::test
