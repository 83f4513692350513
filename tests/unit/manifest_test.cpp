#include "unit/manifest.hpp"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "base/bytes.hpp"

// A namespace of its own: the test files of a program compile together.
namespace quave::manifest_tests {
namespace {

using Fields = std::vector<std::pair<std::string, std::optional<std::string>>>;

// A valid vestrel oscillator manifest with some header members replaced
// (raw JSON) or, for nullopt, left out.
std::string manifest_json(const Fields& overrides = {}) {
  Fields fields = {
      {"platform", "\"vestrel\""},
      {"module", "\"osc\""},
      {"api", "\"1.1-0\""},
      {"dev_id", "0"},
      {"prg_id", "1"},
      {"version", "\"1.0-0\""},
      {"name", "\"Sawtooth\""},
      {"num_param", "2"},
      {"params", "[[\"Shape\", 0, 100, \"%\"], [\"Detune\", -100, 100, \"%\"]]"},
  };
  for (const auto& [key, value] : overrides) {
    bool replaced = false;
    for (auto& field : fields) {
      if (field.first == key) {
        field.second = value;
        replaced = true;
      }
    }
    if (!replaced) fields.emplace_back(key, value);
  }
  std::string json = "{\"header\": {";
  bool first = true;
  for (const auto& [key, value] : fields) {
    if (!value) continue;
    json += (first ? "" : ", ") + ("\"" + key + "\": ") + *value;
    first = false;
  }
  return json + "}}";
}

std::string descriptors(unsigned count) {
  std::string json = "[";
  for (unsigned i = 0; i < count; ++i) json += std::string(i ? ", " : "") + "[\"P\", 0, 1, \"\"]";
  return json + "]";
}

struct Case {
  const char* what;
  Fields fields;
  std::string diagnostics;
  bool passes;
  PlatformId expected_platform = 0;
};

class ManifestMessages : public ::testing::TestWithParam<Case> {};

TEST_P(ManifestMessages, LeavesExactlyItsMessage) {
  const Case& c = GetParam();
  std::string diagnostics = "left over from before";
  const auto header = parse_manifest(manifest_json(c.fields).c_str(), c.expected_platform,
                                     diagnostics);
  EXPECT_EQ(header.has_value(), c.passes);
  EXPECT_EQ(diagnostics, c.diagnostics);
}

const std::string kLongName = "\"Supersawtooth wave\"";  // 18 characters

INSTANTIATE_TEST_SUITE_P(
    Table, ManifestMessages,
    ::testing::Values(
        Case{"valid", {}, "", true},
        Case{"platform missing", {{"platform", std::nullopt}}, "No such node (header.platform)", false},
        Case{"platform capitalised", {{"platform", "\"Vestrel\""}}, "Invalid target platform. (Vestrel)", false},
        Case{"platform with blank", {{"platform", "\"halvane rx\""}}, "Invalid target platform. (halvane rx)", false},
        Case{"platform differs from extension", {{"platform", "\"halvane-rx\""}},
             "Expected target platform \"vestrel\", found \"halvane-rx\"", false, 1},
        Case{"platform matches extension", {{"platform", "\"orvalt-tonal\""}}, "", true, 3},
        Case{"module unknown", {{"module", "\"OSC\""}}, "Invalid module specifier. (OSC)", false},
        Case{"module missing", {{"module", std::nullopt}}, "No such node (header.module)", false},
        Case{"global accepted", {{"module", "\"global\""}}, "", true},
        Case{"api as number", {{"api", "1.10"}}, "Invalid API version format. (1.10)", false},
        Case{"api with trailing text", {{"api", "\"1.1-0b\""}}, "Invalid API version format. (1.1-0b)", false},
        Case{"api part beyond int", {{"api", "\"1.99999999999-0\""}},
             "Invalid API version format. (1.99999999999-0) : stoi argument out of range", false},
        Case{"api part of 100", {{"api", "\"1.100-0\""}}, "API version component out of range. (1.100-0)", false},
        Case{"api leading zeros", {{"api", "\"01.02-03\""}}, "", true},
        Case{"dev_id hexadecimal", {{"dev_id", "\"0x10\""}}, "conversion of data to type \"unsigned int\" failed", false},
        Case{"dev_id above 32 bits", {{"dev_id", "4294967296"}}, "conversion of data to type \"unsigned int\" failed", false},
        Case{"dev_id as text with blanks", {{"dev_id", "\" 42 \""}}, "", true},
        Case{"prg_id missing", {{"prg_id", std::nullopt}}, "No such node (header.prg_id)", false},
        Case{"version without patch", {{"version", "\"1.0\""}}, "Invalid version format. (1.0)", false},
        Case{"version part beyond int", {{"version", "\"2147483648.0-0\""}},
             "Invalid version format. (2147483648.0-0) : stoi argument out of range", false},
        Case{"version part of 100", {{"version", "\"100.0-0\""}}, "version component out of range. (100.0-0)", false},
        Case{"version part at int max", {{"version", "\"2147483647.0-0\""}},
             "version component out of range. (2147483647.0-0)", false},
        Case{"name empty", {{"name", "\"\""}}, "Invalid name format. Expected printable ASCII.\n", false},
        Case{"name not ascii", {{"name", "\"S\\u00e4ge\""}}, "Invalid name format. Expected printable ASCII.\n", false},
        Case{"name with tab", {{"name", "\"a\\tb\""}}, "Invalid name format. Expected printable ASCII.\n", false},
        Case{"name clipped", {{"name", kLongName}}, "Warning: name clipped to 13chars.\n", true},
        Case{"num_param missing", {{"num_param", std::nullopt}}, "No such node (header.num_param)", false},
        Case{"params missing", {{"params", std::nullopt}}, "No such node (header.params)", false},
        Case{"modfx ignores params", {{"module", "\"modfx\""}, {"params", std::nullopt}}, "", true},
        Case{"num_param 0 ignores params", {{"num_param", "0"}, {"params", "[1, 2, 3]"}}, "", true},
        Case{"three given for two", {{"params", descriptors(3)}},
             "Parameter descriptor count does not match num_param field.", false},
        Case{"descriptor of three", {{"params", "[[\"a\", 0, 1], [\"b\", 0, 1, \"\"]]"}},
             "Parameter descriptor #0 has invalid length.", false},
        Case{"param name empty", {{"params", "[[\"a\", 0, 1, \"\"], [\"\", 0, 1, \"\"]]"}},
             "Invalid param name format. Expected printable ASCII.\n", false},
        Case{"param name clipped", {{"params", "[[\"Fourteen chars\", 0, 1, \"\"], [\"b\", 0, 1, \"\"]]"}},
             "Warning: param name clipped to 13chars.\n", true},
        Case{"minimum 101", {{"params", "[[\"a\", 101, 1, \"\"], [\"b\", 0, 1, \"\"]]"}},
             "Minimum value in parameter descriptor #0 exceeds value limits.\n", false},
        Case{"maximum -101", {{"params", "[[\"a\", 0, 1, \"\"], [\"b\", 0, -101, \"\"]]"}},
             "Maximum value in parameter descriptor #1 exceeds value limits.\n", false},
        Case{"minimum not a number", {{"params", "[[\"a\", \"low\", 1, \"\"], [\"b\", 0, 1, \"\"]]"}},
             "conversion of data to type \"int\" failed", false},
        Case{"type unknown", {{"params", "[[\"a\", 0, 1, \"\"], [\"b\", 0, 1, \"dB\"]]"}},
             "Invalid type identifier in parameter descriptor #1.", false},
        Case{"62 descriptors", {{"num_param", "62"}, {"params", descriptors(62)}},
             "Too many parameter descriptors. (62 > 61)", false},
        Case{"huge num_param without params", {{"num_param", "4000000000"}, {"params", std::nullopt}},
             "Too many parameter descriptors. (4000000000 > 61)", false},
        Case{"warning then error", {{"name", kLongName}, {"params", "[[\"a\", 0, 1], [\"b\", 0, 1, \"\"]]"}},
             "Warning: name clipped to 13chars.\nParameter descriptor #0 has invalid length.", false},
        Case{"two warnings", {{"name", kLongName}, {"params", "[[\"Fourteen chars\", 0, 1, \"\"], [\"b\", 0, 1, \"\"]]"}},
             "Warning: name clipped to 13chars.\nWarning: param name clipped to 13chars.\n", true}),
    [](const auto& info) {
      std::string name = info.param.what;
      for (char& c : name) {
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
      }
      return name;
    });

TEST(ManifestText, RefusalsBeforeValidation) {
  struct Row {
    const char* text;
    std::string diagnostics;
  };
  const Row rows[] = {
      {"", "<unspecified file>(1): expected value"},
      {"platform = vestrel", "<unspecified file>(1): expected value"},
      {"{\"header\": {}}\n}", "<unspecified file>(2): garbage after data"},
  };
  for (const auto& row : rows) {
    std::string diagnostics;
    EXPECT_FALSE(parse_manifest(row.text, 0, diagnostics)) << row.text;
    EXPECT_EQ(diagnostics, row.diagnostics) << row.text;
  }
  std::string diagnostics;
  EXPECT_FALSE(parse_manifest(nullptr, 0, diagnostics));
  EXPECT_EQ(diagnostics, "Tried to parse null data...");
}

TEST(ManifestText, JsonEndsAtFirstZeroByte) {
  std::string text = manifest_json();
  text += std::string(1, '\0') + "garbage";
  std::string diagnostics;
  EXPECT_TRUE(parse_manifest(text.c_str(), 0, diagnostics));
  EXPECT_EQ(diagnostics, "");
}

TEST(ManifestText, DeepOrHugeDocumentsAreRefusedWithoutCrashing) {
  std::string diagnostics;
  // Deep enough to overflow the stack of a recursive reader.
  const std::string deep = manifest_json({{"extra", std::string(200000, '[') + std::string(200000, ']')}});
  EXPECT_FALSE(parse_manifest(deep.c_str(), 0, diagnostics));
  EXPECT_EQ(diagnostics, "Manifest is nested too deeply. (more than 64 levels)");

  std::string many = "[0";
  for (int i = 0; i < 20000; ++i) many += ",0";
  EXPECT_FALSE(parse_manifest(manifest_json({{"extra", many + "]"}}).c_str(), 0, diagnostics));
  EXPECT_EQ(diagnostics, "Manifest holds too many values. (more than 16384)");

  // Brackets and commas inside strings are text, not structure.
  const std::string quoted = "\"" + std::string(100, '[') + std::string(20000, ',') + "\\\"[\"";
  EXPECT_TRUE(parse_manifest(manifest_json({{"extra", quoted}}).c_str(), 0, diagnostics));
  EXPECT_EQ(diagnostics, "");
}

TEST(UnitHeaderPacking, WorkedExampleByteForByte) {
  const std::string json = manifest_json({{"name", "\"Saw 1\""},
                                          {"params", "[[\"Shape\", 0, 100, \"%\"], [\"Tune\", -100, 100, \"%\"]]"}});
  std::string diagnostics;
  const auto header = parse_manifest(json.c_str(), 1, diagnostics);
  ASSERT_TRUE(header) << diagnostics;

  std::array<uint8_t, kUnitHeaderSize> expected{};
  const uint8_t start[] = {0x04, 0x01, 0x00, 0x01, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00,
                           0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 'S',  'a',
                           'w',  ' ',  '1'};
  std::copy(std::begin(start), std::end(start), expected.begin());
  const uint8_t count[] = {0x02, 0x00, 0x00, 0x00};
  std::copy(std::begin(count), std::end(count), expected.begin() + 32);
  const uint8_t first[] = {0x00, 0x64, 0x00, 'S', 'h', 'a', 'p', 'e'};
  std::copy(std::begin(first), std::end(first), expected.begin() + 36);
  const uint8_t second[] = {0x9C, 0x64, 0x01, 'T', 'u', 'n', 'e'};
  std::copy(std::begin(second), std::end(second), expected.begin() + 52);

  for (size_t i = 0; i < kUnitHeaderSize; ++i) {
    EXPECT_EQ(header->bytes[i], expected[i]) << "byte " << i;
  }
}

TEST(UnitHeaderPacking, FieldsAtTheirOffsets) {
  std::string diagnostics;
  // Leading zeros, text numbers, a clipped name and every type code.
  const auto header = parse_manifest(
      manifest_json({{"platform", "\"orvalt-tonal\""},
                     {"api", "\"01.02-03\""},
                     {"dev_id", "\"4294967295\""},
                     {"prg_id", "305419896"},
                     {"version", "\"99.99-99\""},
                     {"name", "\"ABCDEFGHIJKLMNOP\""},
                     {"num_param", "4"},
                     {"params", "[[\"a\", -1, 5, \"%\"], [\"b\", 3, -7, \"%\"], [\"c\", -100, 0, \"\"],"
                                " [\"Thirteen char\", 0, 0, \"\"]]"}})
          .c_str(),
      0, diagnostics);
  ASSERT_TRUE(header) << diagnostics;
  const uint8_t* h = header->bytes.data();
  EXPECT_EQ(h[kHdrModule], 4);
  EXPECT_EQ(h[kHdrPlatform], 3);
  EXPECT_EQ(get_le32(h + kHdrApi), 0x010203u);
  EXPECT_EQ(get_le32(h + kHdrDevId), 0xFFFFFFFFu);
  EXPECT_EQ(get_le32(h + kHdrPrgId), 0x12345678u);
  EXPECT_EQ(get_le32(h + kHdrVersion), 0x636363u);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(h + kHdrName), 14),
            std::string("ABCDEFGHIJKLM") + '\0');
  EXPECT_EQ(get_le32(h + kHdrNumParam), 4u);
  // min, max, type code per descriptor
  const int expected[4][3] = {{0xFF, 5, 1}, {3, 0xF9, 0}, {0x9C, 0, 2}, {0, 0, 2}};
  for (int k = 0; k < 4; ++k) {
    const uint8_t* d = h + kParamsOffset + kParamDescriptorSize * k;
    EXPECT_EQ(d[0], expected[k][0]) << k;
    EXPECT_EQ(d[1], expected[k][1]) << k;
    EXPECT_EQ(d[2], expected[k][2]) << k;
  }
  // Exactly 13 characters fill the field with no zero byte behind them.
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(h + kParamsOffset + 48 + 3), 13), "Thirteen char");
  EXPECT_EQ(h[kParamsOffset + 64], 0);
}

TEST(UnitHeaderPacking, SixtyOneDescriptorsFillTheBlock) {
  std::string params = "[";
  for (int k = 0; k < 61; ++k) params += std::string(k ? ", " : "") + "[\"Thirteen char\", -100, 100, \"%\"]";
  params += "]";
  std::string diagnostics;
  const auto header =
      parse_manifest(manifest_json({{"num_param", "61"}, {"params", params}}).c_str(), 0, diagnostics);
  ASSERT_TRUE(header) << diagnostics;
  const uint8_t* last = header->bytes.data() + kParamsOffset + 60 * kParamDescriptorSize;
  EXPECT_EQ(last - header->bytes.data(), 996);
  EXPECT_EQ(last[0], 0x9C);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(last + 3), 13), "Thirteen char");
  for (size_t i = 1012; i < kUnitHeaderSize; ++i) EXPECT_EQ(header->bytes[i], 0) << i;
}

}  // namespace
}  // namespace quave::manifest_tests
