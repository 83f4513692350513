// The MIDI link's own decisions, over a MIDI library and a system of the
// test's own: which ports the names find, how a port is paced and how a
// device gone away shows, and a device that goes while a long load is paced.
#include <gtest/gtest.h>
#include <rtmidi_c.h>

#include <cstring>
#include <thread>

#include "base/inbox.hpp"
#include "device/midi/midi_ports.hpp"
#include "device/midi/system/midi_library.hpp"
#include "tests/device/fake_device.hpp"

namespace quave::test::midi_link_tests {
namespace {

// The ports a backend lists, what reaches the device, and the system's word
// on the port. The library's functions below reach it through `midi`.
struct FakeMidi {
  int api = RTMIDI_API_LINUX_ALSA;
  std::vector<std::string> inputs;
  std::vector<std::string> outputs;
  size_t bytes_sent = 0;
  size_t sends = 0;
  Message partial;
  RtMidiCCallback callback = nullptr;
  void* user = nullptr;
  // The device behind the ports: answers each whole request.
  FakeDevice device;
  // What the system says.
  OutputLink link;
  std::optional<bool> sequencer_has = true;
  bool jack_lost = false;
  std::optional<JackServer> jack;
  // The device goes away (unplugged: its files, its port) once this much
  // has reached it.
  size_t gone_after = SIZE_MAX;
};
FakeMidi* midi = nullptr;

bool is_input(RtMidiPtr port) { return port->data != nullptr; }
const std::vector<std::string>& names(RtMidiPtr port) {
  return is_input(port) ? midi->inputs : midi->outputs;
}
bool gone() { return midi->bytes_sent >= midi->gone_after; }

RtMidiPtr make_port(bool input) {
  static int input_marker;
  return new RtMidiWrapper{midi, input ? &input_marker : nullptr, true, nullptr};
}

const MidiLibrary kLibrary = [] {
  MidiLibrary library{};
  library.get_compiled_api = [](RtMidiApi* apis, unsigned int size) {
    if (size > 0) apis[0] = static_cast<RtMidiApi>(midi->api);
    return 1;
  };
  library.in_create = [](RtMidiApi, const char*, unsigned int) { return make_port(true); };
  library.out_create = [](RtMidiApi, const char*) { return make_port(false); };
  library.in_free = [](RtMidiPtr port) { delete port; };
  library.out_free = [](RtMidiPtr port) { delete port; };
  library.in_set_callback = [](RtMidiPtr, RtMidiCCallback callback, void* user) {
    midi->callback = callback;
    midi->user = user;
  };
  library.in_ignore_types = [](RtMidiPtr, bool, bool, bool) {};
  library.get_port_count = [](RtMidiPtr port) {
    return static_cast<unsigned>(gone() ? 0 : names(port).size());
  };
  library.get_port_name = [](RtMidiPtr port, unsigned int index, char* buffer, int* length) {
    if (index >= names(port).size()) {
      port->ok = false;
      return -1;
    }
    const std::string& name = names(port)[index];
    if (buffer) std::snprintf(buffer, static_cast<size_t>(*length), "%s", name.c_str());
    *length = static_cast<int>(name.size() + 1);
    return *length;
  };
  library.open_port = [](RtMidiPtr, unsigned int, const char*) {};
  library.close_port = [](RtMidiPtr) {};
  library.out_send_message = [](RtMidiPtr, const unsigned char* bytes, int length) {
    ++midi->sends;
    midi->bytes_sent += static_cast<size_t>(length);
    midi->partial.insert(midi->partial.end(), bytes, bytes + length);
    if (midi->partial.back() != 0xF7) return 0;
    std::vector<Message> replies = midi->device.answer(midi->partial);
    midi->partial.clear();
    for (const Message& reply : replies) midi->callback(0, reply.data(), reply.size(), midi->user);
    return 0;
  };
  return library;
}();

const MidiSystem kSystem{
    [](std::string&) { return &kLibrary; },
    [](int, int) {
      OutputLink link = midi->link;
      // A card's file goes with its card.
      if (link.room) link.room = [] { return gone() ? std::nullopt : midi->link.room(); };
      return link;
    },
    [](int, int) { return gone() ? std::optional<bool>(false) : midi->sequencer_has; },
    [] { return midi->jack_lost; },
    [] { return midi->jack; },
    [](const std::vector<int>&) { return std::vector<std::string>{}; },
};

// The output port beside an input port "... KBD/KNOB": "... SOUND".
std::string sound_of(std::string name) {
  const size_t role = name.find("KBD/KNOB");
  return role == std::string::npos ? name : name.replace(role, 8, "SOUND");
}

class MidiLinkTest : public ::testing::Test {
 protected:
  void SetUp() override { midi = &fake; }
  void TearDown() override { midi = nullptr; }
  FakeMidi fake;
};

TEST_F(MidiLinkTest, TheNamesFindTheLowestMatchingPortOfEachKind) {
  struct Row {
    std::vector<std::string> names;
    std::optional<unsigned> index;
    const char* text;
  };
  const Row rows[] = {
      {{"Midi Through Port-0", "2- vestrel KBD/KNOB"}, 1, "vestrel KBD/KNOB"},
      {{"vestrel #2 KBD/KNOB"}, 0, "vestrel #2 KBD/KNOB"},
      {{"vest-dev KBD/KNOB"}, 0, "vest-dev KBD/KNOB"},  // the dot stands for any letter
      {{"halvane-rx 1 KBD/KNOB"}, 0, "halvane-rx 1 KBD/KNOB"},
      {{"halvane rx KBD/KNOB"}, 0, "halvane rx KBD/KNOB"},
      {{"orvalt-tonal KBD/KNOB", "vestrel KBD/KNOB"}, 0, "orvalt-tonal KBD/KNOB"},
      {{"VESTREL KBD/KNOB", "halvane_rx KBD/KNOB", "vestrel-2 KBD/KNOB"}, std::nullopt, ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.names.front());
    fake.inputs = row.names;
    fake.outputs.clear();
    for (const std::string& name : row.names) fake.outputs.push_back(sound_of(name));
    MidiPorts ports(false, kSystem);
    const MidiPorts::Opened opened = ports.open(std::nullopt, std::nullopt);
    if (!row.index) {
      EXPECT_EQ(opened.report.fault, OpenFault::not_found);
      EXPECT_FALSE(opened.report.input || opened.report.output);
      continue;
    }
    ASSERT_EQ(opened.report.fault, OpenFault::none);
    EXPECT_EQ(opened.report.input->index, *row.index);
    EXPECT_EQ(opened.report.input->text, row.text);
    EXPECT_EQ(opened.report.output->index, *row.index);
    EXPECT_EQ(opened.report.output->text, sound_of(row.text));
  }
}

// Each synthesizer's input goes with its own output, whatever the lists'
// order, and a unit's model picks among several.
TEST_F(MidiLinkTest, OneSynthesizersTwoPortsGoTogether) {
  struct Row {
    const char* what;
    std::vector<std::string> inputs;
    std::vector<std::string> outputs;
    std::optional<PlatformId> model;
    unsigned in, out;
    size_t choices;
  };
  const Row rows[] = {
      {"outputs the other way round", {"vestrel KBD/KNOB", "halvane rx KBD/KNOB"},
       {"halvane rx SOUND", "vestrel SOUND"}, std::nullopt, 0, 1, 2},
      {"the unit's model", {"vestrel KBD/KNOB", "halvane rx KBD/KNOB"},
       {"halvane rx SOUND", "vestrel SOUND"}, 2, 1, 0, 1},
      {"no synthesizer of the unit's model", {"vestrel KBD/KNOB"}, {"vestrel SOUND"}, 3, 0, 0, 1},
      {"a second of one model", {"vestrel 2 KBD/KNOB", "vestrel KBD/KNOB"},
       {"vestrel SOUND", "vestrel 2 SOUND"}, 1, 0, 1, 2},
      {"Windows numbers the second", {"2- vestrel KBD/KNOB", "vestrel KBD/KNOB"},
       {"vestrel SOUND", "2- vestrel SOUND"}, std::nullopt, 0, 1, 2},
      {"the sequencer's client tells",
       {"vestrel:vestrel KBD/KNOB 28:0", "vestrel_1:vestrel KBD/KNOB 24:0"},
       {"vestrel_1:vestrel SOUND 24:1", "vestrel:vestrel SOUND 28:1"}, std::nullopt, 0, 1, 2},
      {"a program's two clients",
       {"vestrel:vestrel KBD/KNOB 129:0", "halvane:halvane rx KBD/KNOB 131:0"},
       {"halvane:halvane rx SOUND 128:0", "vestrel:vestrel SOUND 130:0"}, std::nullopt, 0, 1, 2},
      {"an input with no output of its own", {"orvalt tonal KBD/KNOB", "vestrel KBD/KNOB"},
       {"vestrel SOUND"}, std::nullopt, 1, 0, 1},
      {"no pair: the lowest of each", {"vestrel KBD/KNOB"}, {"halvane rx SOUND"}, 1, 0, 0, 0},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    fake.inputs = row.inputs;
    fake.outputs = row.outputs;
    MidiPorts ports(false, kSystem);
    OpenWish wish;
    wish.model = row.model;
    const MidiPorts::Opened opened = ports.open(std::nullopt, std::nullopt, wish);
    ASSERT_EQ(opened.report.fault, OpenFault::none);
    EXPECT_EQ(opened.report.input->index, row.in);
    EXPECT_EQ(opened.report.output->index, row.out);
    EXPECT_EQ(opened.report.choices.size(), row.choices);
  }
}

// A name picks its synthesizer whatever the unit's model; a name that is
// not exactly one synthesizer's opens nothing.
TEST_F(MidiLinkTest, ANamePicksItsSynthesizerOrNothing) {
  struct Row {
    const char* name;
    std::vector<std::string> inputs;
    std::vector<std::string> outputs;
    std::optional<unsigned> in, out;  // nothing: the open fails
    size_t choices;                   // on failure, the synthesizers of that name
  };
  const std::vector<std::string> two_in{"vestrel KBD/KNOB", "halvane rx 2 KBD/KNOB"};
  const std::vector<std::string> two_out{"halvane rx 2 SOUND", "vestrel SOUND"};
  const Row rows[] = {
      {"halvane rx 2", two_in, two_out, 1, 0, 1},
      {"vestrel", two_in, two_out, 0, 1, 1},
      {"halvane rx", two_in, two_out, std::nullopt, std::nullopt, 0},
      {"Vestrel", two_in, two_out, std::nullopt, std::nullopt, 0},
      {"vestrel", {}, {}, std::nullopt, std::nullopt, 0},
      // Two of one model that only their clients tell apart.
      {"vestrel", {"vestrel:vestrel KBD/KNOB 28:0", "vestrel_1:vestrel KBD/KNOB 24:0"},
       {"vestrel_1:vestrel SOUND 24:1", "vestrel:vestrel SOUND 28:1"}, std::nullopt, std::nullopt,
       2},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(row.name) + " among " + std::to_string(row.inputs.size()));
    fake.inputs = row.inputs;
    fake.outputs = row.outputs;
    MidiPorts ports(false, kSystem);
    OpenWish wish;
    wish.model = 1;  // a vestrel unit's: the name goes first
    wish.synth = row.name;
    const MidiPorts::Opened opened = ports.open(std::nullopt, std::nullopt, wish);
    EXPECT_EQ(opened.report.synths.size(), row.inputs.size());
    if (!row.in) {
      EXPECT_EQ(opened.report.fault, OpenFault::synth_name);
      EXPECT_FALSE(opened.link);
      EXPECT_FALSE(opened.report.input || opened.report.output);
      EXPECT_EQ(opened.report.choices.size(), row.choices);
      continue;
    }
    ASSERT_EQ(opened.report.fault, OpenFault::none);
    EXPECT_TRUE(opened.link);
    EXPECT_EQ(opened.report.input->index, *row.in);
    EXPECT_EQ(opened.report.output->index, *row.out);
    EXPECT_EQ(opened.report.choices.size(), 1u);
  }
}

TEST_F(MidiLinkTest, HowAPortIsPacedAndHowItsDeviceShowsGone) {
  const RoomFeedback room = [] { return std::optional<size_t>(4096); };
  struct Row {
    const char* what;
    MidiBackend backend;
    const char* name;
    bool by_name;
    OutputLink link;
    uint32_t bytes_per_second;
    Presence presence;
    bool din_pace;
  };
  const Row rows[] = {
      {"an application's port", MidiBackend::alsa, "devsim:vestrel SOUND 128:0", true, {}, 65536,
       Presence::sequencer, false},
      {"by index", MidiBackend::alsa, "devsim:vestrel SOUND 128:0", false, {}, 3125,
       Presence::sequencer, false},
      // The room paces; the rate is only a fallback.
      {"a card's port", MidiBackend::alsa, "vestrel:vestrel SOUND 20:0", true, {true, room}, 65536,
       Presence::card_files, false},
      {"a card's port without its room", MidiBackend::alsa, "vestrel:vestrel SOUND 20:0", true,
       {true, {}}, 3125, Presence::sequencer, true},
      {"by index, without its room", MidiBackend::alsa, "vestrel:vestrel SOUND 20:0", false,
       {true, {}}, 3125, Presence::sequencer, true},
      {"no sequencer address", MidiBackend::alsa, "vestrel SOUND", true, {true, room}, 65536,
       Presence::listing, false},
      {"JACK", MidiBackend::jack, "devsim:vestrel SOUND", false, {}, 0, Presence::jack, false},
      {"another backend", MidiBackend::other, "vestrel SOUND", false, {}, 0, Presence::listing,
       false},
  };
  for (const Row& row : rows) {
    fake.link = row.link;
    const ChosenPort chosen = choose_port(kSystem, row.backend, row.name, row.by_name);
    EXPECT_EQ(chosen.pacing.bytes_per_second, row.bytes_per_second) << row.what;
    EXPECT_EQ(chosen.presence, row.presence) << row.what;
    EXPECT_EQ(chosen.din_pace, row.din_pace) << row.what;
    EXPECT_EQ(static_cast<bool>(chosen.room), row.presence == Presence::card_files) << row.what;
  }
}

// Each kind of port asks what shows its device gone soonest.
TEST_F(MidiLinkTest, PresenceAsksWhatTheChosenPortShows) {
  struct Row {
    const char* what;
    int api;
    const char* port;
    bool card;
    bool room_readable;
    std::optional<bool> sequencer_has;
    bool jack_lost;
    bool listed;
    bool present;
  };
  const int alsa = RTMIDI_API_LINUX_ALSA;
  const int jack = RTMIDI_API_UNIX_JACK;
  const Row rows[] = {
      // Unplugged: the card's files go at once, its port stays up to 10 s.
      {"card, files gone", alsa, "v:vestrel SOUND 20:0", true, false, true, false, true, false},
      {"card, port gone", alsa, "v:vestrel SOUND 20:0", true, true, false, false, true, false},
      {"card, both there", alsa, "v:vestrel SOUND 20:0", true, true, true, false, false, true},
      {"application, port gone", alsa, "d:vestrel SOUND 128:0", false, false, false, false, true, false},
      {"application, port there", alsa, "d:vestrel SOUND 128:0", false, false, true, false, false, true},
      {"no sequencer, unlisted", alsa, "d:vestrel SOUND 128:0", false, false, std::nullopt, false, false, false},
      {"no sequencer, listed", alsa, "d:vestrel SOUND 128:0", false, false, std::nullopt, false, true, true},
      // A dead server's graph still lists its ports.
      {"JACK server gone", jack, "devsim:vestrel SOUND", false, false, true, true, true, false},
      {"JACK port gone", jack, "devsim:vestrel SOUND", false, false, true, false, false, false},
      {"JACK port there", jack, "devsim:vestrel SOUND", false, false, true, false, true, true},
  };
  for (const Row& row : rows) {
    fake = FakeMidi{};
    fake.api = row.api;
    fake.inputs = {"vestrel KBD/KNOB"};
    fake.outputs = {row.port};
    bool readable = true;
    if (row.card) {
      fake.link = {true, [&readable] { return readable ? std::optional<size_t>(4096) : std::nullopt; }};
    }
    MidiPorts ports(false, kSystem);
    MidiPorts::Opened opened = ports.open(0u, 0u);
    ASSERT_TRUE(opened.link) << row.what;
    readable = row.room_readable;
    fake.sequencer_has = row.sequencer_has;
    fake.jack_lost = row.jack_lost;
    if (!row.listed) fake.outputs = {"something else"};
    EXPECT_EQ(opened.link->present(), row.present) << row.what;
  }
}

// Given by index, an application's port goes at 5-pin DIN pace: the load
// takes seconds, and the device going meanwhile ends it within a tenth of
// a second, not at the end of the sending.
TEST_F(MidiLinkTest, ADeviceGoneWhileALoadIsPacedEndsIt) {
  fake.inputs = {"devsim:vestrel KBD/KNOB 128:1"};
  fake.outputs = {"devsim:vestrel SOUND 128:0"};
  RecordingNarrator narrator;
  MidiPorts ports(false, kSystem);
  MidiPorts::Opened opened = ports.open(0u, 0u);
  ASSERT_TRUE(opened.link);
  DeviceInterface device(std::move(opened.link), narrator);
  ASSERT_TRUE(device.handshake().ok());

  const size_t before = fake.bytes_sent;
  fake.gone_after = before + 3072;
  const Outcome outcome = device.load_unit(unit_of(1, std::vector<uint8_t>(6000, 0x11), 7), 0);
  EXPECT_EQ(outcome.fault, Fault::gone);
  EXPECT_EQ(outcome.request, kUnitLoad);
  // Of 6,877 bytes: 2048 at once, then 256 each 82 ms. The device goes with
  // the fourth fragment after the burst, some 250 ms in; the next look, at
  // most 100 ms later, sees it.
  EXPECT_LT(fake.bytes_sent - before, size_t{3072 + 2 * 256});
}

TEST(Inbox, HoldsAtMostAMebibyteAndARingEndsEveryWait) {
  Inbox inbox;
  const std::vector<uint8_t> kib(1024, 0x55);
  for (int i = 0; i < 1024; ++i) inbox.put(kib.data(), kib.size());
  inbox.put(kib.data(), 1);  // over the mebibyte: dropped
  const auto now = std::chrono::steady_clock::now();
  ASSERT_TRUE(inbox.take(now));
  inbox.put(kib.data(), 1);  // room again for a byte
  for (int i = 1; i < 1024; ++i) ASSERT_EQ(inbox.take(now)->size(), 1024u) << i;
  EXPECT_EQ(inbox.take(now)->size(), 1u);
  EXPECT_FALSE(inbox.take(now));

  inbox.put(kib.data(), 3);
  inbox.ring();
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(inbox.take(start + std::chrono::seconds(60)));
  inbox.sleep_until(start + std::chrono::seconds(60));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
}

// The simulator's ports and the tests' client take everything at once, the
// wait ending with the count asked for.
TEST(Inbox, TakeAllWaitsForTheCountAndFreesTheRoom) {
  using std::chrono::steady_clock;
  Inbox inbox;
  const std::vector<uint8_t> kib(1024, 0x55);
  EXPECT_TRUE(inbox.take_all(steady_clock::now()).empty());
  inbox.put(kib.data(), 1);
  // Fewer than asked for: what came, once the wait runs out.
  EXPECT_EQ(inbox.take_all(steady_clock::now() + std::chrono::milliseconds(20), 2).size(), 1u);

  const auto start = steady_clock::now();
  std::thread writer([&] {
    for (int i = 0; i < 3; ++i) inbox.put(kib.data(), 2);
  });
  const auto three = inbox.take_all(start + std::chrono::seconds(60), 3);
  writer.join();
  EXPECT_EQ(three.size(), 3u);
  EXPECT_LT(steady_clock::now() - start, std::chrono::seconds(10));

  for (int i = 0; i < 1024; ++i) inbox.put(kib.data(), kib.size());
  EXPECT_EQ(inbox.take_all(start).size(), 1024u);
  // All taken: the whole mebibyte is free again.
  for (int i = 0; i < 1024; ++i) inbox.put(kib.data(), kib.size());
  EXPECT_EQ(inbox.take_all(start).size(), 1024u);

  inbox.put(kib.data(), 1);
  inbox.ring();
  EXPECT_TRUE(inbox.take_all(start + std::chrono::seconds(60)).empty());
}

}  // namespace
}  // namespace quave::test::midi_link_tests
