#include "tools/devsim/cli/options.hpp"

#include <gtest/gtest.h>

#include "tests/support/process.hpp"
#include "tools/devsim/cli/option_values.hpp"

namespace devsim {
namespace {

TEST(DevsimOptions, DeviceSettings) {
  const CommandLine cl = parse_command_line(
      {"--platform", "halvane-rx", "--channel", "3", "--system-version", "2.07", "--api-version",
       "1.2-5", "--slots", "osc:4", "--slots", "modfx:0", "--max-payload", "revfx:0x1000",
       "--max-load", "revfx:99", "--no-info", "delfx", "--preload", "osc:3:Pad", "--port-tag", "#2"});
  const SimConfig& c = cl.config;
  EXPECT_EQ(c.platform, 2);
  EXPECT_EQ(c.channel, 3);
  EXPECT_EQ(c.system_major, 2);
  EXPECT_EQ(c.system_minor, 7);
  EXPECT_EQ(c.api_minor, 2);
  EXPECT_EQ(c.api_patch, 5);
  EXPECT_EQ(c.modules[4].slot_count, 4);
  EXPECT_EQ(c.modules[1].slot_count, 0);
  EXPECT_EQ(c.modules[3].max_payload_size, 4096u);
  EXPECT_EQ(c.modules[3].max_load_size, 99u);
  EXPECT_FALSE(c.modules[2].has_info);
  ASSERT_EQ(c.preloads.size(), 1u);
  // The preload takes the platform and API given, wherever they stand.
  EXPECT_EQ(c.preloads[0].record[1], 2);
  EXPECT_EQ(c.preloads[0].record[3], 2);
  EXPECT_EQ(output_port_name(c), "halvane rx #2 KBD/KNOB");
  EXPECT_EQ(input_port_name(c), "halvane rx #2 SOUND");
  EXPECT_TRUE(cl.warnings.empty());
}

TEST(DevsimOptions, FaultsByKind) {
  const CommandLine cl = parse_command_line({"--silent", "search,slot-status", "--delay", "load:700",
                                             "--delay", "api:5", "--status", "0x24", "--status",
                                             "slot-clear:0x2f", "--twice", "all", "--truncate", "3"});
  const auto& f = cl.config.faults;
  EXPECT_TRUE(f[index_of(Kind::search)].silent);
  EXPECT_TRUE(f[index_of(Kind::slot_status)].silent);
  EXPECT_FALSE(f[index_of(Kind::api_version)].silent);
  EXPECT_EQ(f[index_of(Kind::load)].delay_ms, 700u);
  EXPECT_EQ(f[index_of(Kind::api_version)].delay_ms, 5u);
  EXPECT_EQ(f[index_of(Kind::module_info)].delay_ms, 0u);
  EXPECT_EQ(f[index_of(Kind::load)].status, 0x24);
  EXPECT_EQ(f[index_of(Kind::module_clear)].status, 0x24);
  EXPECT_EQ(f[index_of(Kind::slot_clear)].status, 0x2F);  // the later option wins
  EXPECT_FALSE(f[index_of(Kind::api_version)].status.has_value());
  for (const KindFaults& k : f) {
    EXPECT_TRUE(k.twice);
    EXPECT_EQ(k.truncate, 3u);
  }
}

TEST(DevsimOptions, BadValuesAreRefused) {
  const std::vector<std::vector<std::string>> bad = {
      {"--platform", "Vestrel"},
      {"--channel", "16"},
      {"--channel", "-1"},
      {"--system-version", "1"},
      {"--system-version", "1.128"},
      {"--api-version", "1.1"},
      {"--slots", "osc:128"},
      {"--slots", "oscillator:4"},
      {"--slots", "4"},
      {"--silent", "searches"},
      {"--status", "search:0x23"},
      {"--status", "0x80"},
      {"--delay", "api:soon"},
      {"--preload", "osc:16:Saw"},
      {"--preload", "global:0:Saw"},
      {"--preload", "osc:1:FourteenLetter"},
      {"--preload", "osc:1"},
      {"--api", "coreaudio"},
      {"--no-such-option"},
      {"--usb-gadget", "/dev/gadget/dummy_udc", "--rawmidi", "/dev/snd/midiC0D0"},
      {"--usb-gadget", "/dev/gadget/dummy_udc", "--drain", "fast"},
  };
  for (const auto& args : bad) {
    EXPECT_ANY_THROW(parse_command_line(args)) << testing::PrintToString(args);
  }
}

TEST(DevsimOptions, PreloadFromUnitPackage) {
  const std::string saw = quave::test::source_dir() + "/examples/sawtooth.vstlunit";
  testing::internal::CaptureStdout();
  const CommandLine cl = parse_command_line({"--preload-unit", "5:" + saw});
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  ASSERT_EQ(cl.config.preloads.size(), 1u);
  const Preload& p = cl.config.preloads[0];
  EXPECT_EQ(p.module, 4);
  EXPECT_EQ(p.slot, 5);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&p.record[18])), "Sawtooth");
  EXPECT_EQ(p.record[10], 1);  // prg_id

  EXPECT_ANY_THROW(parse_command_line({"--preload-unit", "16:" + saw}));
  EXPECT_ANY_THROW(parse_command_line({"--platform", "halvane-rx", "--preload-unit", "0:" + saw}));
  testing::internal::CaptureStderr();
  EXPECT_ANY_THROW(parse_command_line({"--preload-unit", "0:/nonexistent.vstlunit"}));
  EXPECT_NE(testing::internal::GetCapturedStderr().find("Error: "), std::string::npos);
}

TEST(DevsimOptions, WarnsWhereTheProgramWouldNotCope) {
  EXPECT_EQ(parse_command_line({"--channel", "9"}).warnings.size(), 1u);
  // The program cuts long loads into fragments: any size is fine.
  EXPECT_TRUE(parse_command_line({"--max-payload", "osc:16384"}).warnings.empty());
  EXPECT_ANY_THROW(parse_command_line({"--drain", "3125"}));
  EXPECT_ANY_THROW(parse_command_line({"--stop-reading", "4096"}));
  const SimConfig usb =
      parse_command_line({"--usb-gadget", "/dev/gadget/dummy_udc", "--drain", "3125", "--port-tag", "2"}).config;
  EXPECT_EQ(usb.usb_gadget_path, "/dev/gadget/dummy_udc");
  EXPECT_EQ(usb.drain_rate, 3125u);
  EXPECT_EQ(product_name(usb), "vestrel 2");  // the card and its ports take it
  EXPECT_EQ(parse_command_line({"--port-tag", "left"}).warnings.size(), 1u);
}

}  // namespace
}  // namespace devsim
