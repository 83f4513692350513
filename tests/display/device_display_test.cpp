// Text forms of device facts and the probe report.
#include <gtest/gtest.h>

#include "display/device_display.hpp"
#include "display/probe_report.hpp"
#include "tests/device/fake_device.hpp"

namespace quave {
namespace {

TEST(VersionText, LimitsAndBetaForm) {
  struct Case {
    unsigned major, minor;
    const char* text;
  };
  for (const Case& c : {Case{1, 5, "1.05"}, Case{0, 98, "0.98b"}, Case{0, 3, "0.03b"},
                        Case{2, 0, "2.00"}, Case{120, 150, "99.99"}, Case{0, 255, "0.99b"},
                        Case{100, 0, "99.00"}}) {
    EXPECT_EQ(format_system_version(c.major, c.minor), c.text);
  }
  EXPECT_EQ(format_api_version(1, 2, 0), "1.02-0");
  EXPECT_EQ(format_api_version(1, 0, 0), "1.00-0");
  EXPECT_EQ(format_api_version(255, 100, 99), "99.99-99");
}

ModuleInfo module(uint32_t payload, uint32_t load, uint8_t slots) {
  ModuleInfo m;
  const auto d = test::module_data(payload, load, slots);
  std::copy(d.begin(), d.end(), m.bytes.begin());
  return m;
}

TEST(ModuleText, InfoAndLines) {
  const ModuleInfo osc = module(16384, 24576, 4);
  EXPECT_EQ(format_module_info(osc),
            "[ slot_count: 4, max_payload_size: 16384, max_load_size: 24576 ]");
  EXPECT_EQ(format_module_info(module(0xFFFFFFFFu, 0, 255)),
            "[ slot_count: 255, max_payload_size: 4294967295, max_load_size: 0 ]");
  EXPECT_EQ(module_line(4, &osc),
            "Oscillator: [ slot_count: 4, max_payload_size: 16384, max_load_size: 24576 ]");
  EXPECT_EQ(module_line(0, nullptr), "Global: no info.");
  EXPECT_EQ(slot_line(2, 3, nullptr), "Delay FX 3: free.");
}

TEST(ProbeReport, ModulesOrOneModulesSlots) {
  DeviceInfo info;
  info.platform = 2;
  info.system_version = {0, 0, 7, 0};
  info.api_version = {3, 1, 1};
  info.modules[1] = module(100, 200, 2);
  info.modules[3] = module(1, 2, 20);
  const auto occupied = test::slot_data(1, "phaser");
  std::copy(occupied.begin(), occupied.end(), info.slots[1][1].bytes.begin());

  EXPECT_EQ(probe_report(info, std::nullopt),
            "> Device: halvane rx\n"
            "> System version: 0.07b\n"
            "> Quave API version: 1.01-3\n"
            "> Available modules:\n"
            "\n"
            "Modulation FX: [ slot_count: 2, max_payload_size: 100, max_load_size: 200 ]\n"
            "Delay FX: [ slot_count: 0, max_payload_size: 0, max_load_size: 0 ]\n"
            "Reverb FX: [ slot_count: 20, max_payload_size: 1, max_load_size: 2 ]\n"
            "Oscillator: [ slot_count: 0, max_payload_size: 0, max_load_size: 0 ]\n");

  const std::string head =
      "> Device: halvane rx\n> System version: 0.07b\n> Quave API version: 1.01-3\n";
  EXPECT_EQ(probe_report(info, 1),
            head + "> Modulation FX status:\n"
                   "[0]: free.\n"
                   "[1]: \"phaser\" v1.00-0 api:1.01-0 did:00000044 uid:00000007\n");
  EXPECT_EQ(probe_report(info, 0), head + "> Global status:\n");
  // Only 16 records exist, whatever the count.
  const std::string reverb = probe_report(info, 3);
  EXPECT_NE(reverb.find("[15]: free.\n"), std::string::npos);
  EXPECT_EQ(reverb.find("[16]"), std::string::npos);

  info.platform = 9;
  EXPECT_EQ(probe_report(info, 0).rfind("> Device: Unknown/Invalid\n", 0), 0u);
}

}  // namespace
}  // namespace quave
