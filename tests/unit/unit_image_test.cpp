#include "unit/unit_image.hpp"

#include <gtest/gtest.h>

#include <string>

#include "base/bytes.hpp"

namespace quave {
namespace {

// A header as the manifest step builds one: vestrel, the given module,
// api 1.1-0, dev_id 0, prg_id 1, version 1.0-0, name "Saw".
UnitHeader make_header(ModuleId module) {
  UnitHeader header;
  uint8_t* h = header.bytes.data();
  h[kHdrModule] = module;
  h[kHdrPlatform] = 1;
  put_le32(h + kHdrApi, 0x010100);
  put_le32(h + kHdrPrgId, 1);
  put_le32(h + kHdrVersion, 0x010000);
  h[kHdrName] = 'S';
  h[kHdrName + 1] = 'a';
  h[kHdrName + 2] = 'w';
  return header;
}

std::optional<UnitImage> build(const std::string& payload, const UnitHeader& header,
                               uint32_t& image_size, std::string& diagnostics) {
  auto image = build_unit_image(reinterpret_cast<const uint8_t*>(payload.data()), header,
                                static_cast<uint32_t>(payload.size()), diagnostics);
  if (image) image_size = static_cast<uint32_t>(image->bytes.size());
  return image;
}

TEST(UnitImage, LayoutIsHeaderPayloadAndZeroTrailer) {
  const UnitHeader header = make_header(kModuleOsc);
  std::string payload = "UOSC";
  for (int i = 0; i < 300; ++i) payload += static_cast<char>(i * 7 + 1);
  uint32_t image_size = 0;
  std::string diagnostics = "Warning: kept\n";
  const auto image = build(payload, header, image_size, diagnostics);
  ASSERT_TRUE(image) << diagnostics;
  EXPECT_EQ(diagnostics, "Warning: kept\n");  // success leaves the text alone
  ASSERT_EQ(image_size, payload.size() + 1156);
  ASSERT_EQ(image->bytes.size(), image_size);
  EXPECT_TRUE(std::equal(header.bytes.begin(), header.bytes.end(), image->bytes.begin()));
  EXPECT_EQ(std::string(image->bytes.begin() + 1024, image->bytes.begin() + 1024 + payload.size()),
            payload);
  for (size_t i = 1024 + payload.size(); i < image_size; ++i) EXPECT_EQ(image->bytes[i], 0) << i;
}

TEST(UnitImage, MagicWordMustMatchModule) {
  struct Row {
    ModuleId module;
    std::string payload;
    bool passes;
  };
  const Row rows[] = {
      {kModuleOsc, "UOSC", true},     {1, "UMOD....", true},    {0, "UGLB", true},
      {2, "UDEL", true},              {3, "UREVx", true},       {kModuleOsc, "UMOD....", false},
      {0, "UOSC", false},             {kModuleOsc, "", false},  {kModuleOsc, "UOS", false},
      {kModuleOsc, "uosc", false},
  };
  for (const auto& row : rows) {
    uint32_t image_size = 0;
    std::string diagnostics = "Warning: replaced on failure\n";
    const auto image = build(row.payload, make_header(row.module), image_size, diagnostics);
    EXPECT_EQ(image.has_value(), row.passes) << int(row.module) << " " << row.payload;
    if (row.passes) {
      EXPECT_EQ(image_size, row.payload.size() + 1156);
    } else {
      EXPECT_EQ(diagnostics, "Binary magic bytes do not match the manifest's declared target module.");
    }
  }
}

TEST(UnitImage, InvalidHeaderNamesTheUnit) {
  struct Row {
    const char* what;
    int offset;
    uint8_t value;
    std::string summary;
  };
  const std::string saw = "\"Saw\" v1.00-0 api:1.01-0 did:00000000 uid:00000001";
  const Row rows[] = {
      {"platform 4", kHdrPlatform, 4, saw},
      {"platform with bit 7", kHdrPlatform, 0x81, saw},
      {"module 5", kHdrModule, 5, saw},
  };
  for (const auto& row : rows) {
    UnitHeader header = make_header(kModuleOsc);
    header.bytes[row.offset] = row.value;
    uint32_t image_size = 0;
    std::string diagnostics;
    EXPECT_FALSE(build("UOSC", header, image_size, diagnostics)) << row.what;
    EXPECT_EQ(diagnostics, "Unit binary header is invalid." + row.summary) << row.what;
  }
  // Bit 7 of the module byte is not part of the module.
  UnitHeader flagged = make_header(kModuleOsc);
  flagged.bytes[kHdrModule] = 0x84;
  uint32_t image_size = 0;
  std::string diagnostics;
  EXPECT_TRUE(build("UOSC", flagged, image_size, diagnostics)) << diagnostics;

  UnitHeader full_name = make_header(kModuleOsc);
  for (size_t i = 0; i < kNameFieldSize; ++i) full_name.bytes[kHdrName + i] = 'A' + i;
  EXPECT_FALSE(build("UOSC", full_name, image_size, diagnostics));
  EXPECT_EQ(diagnostics,
            "Unit binary header is invalid.\"ABCDEFGHIJKLMN\" v1.00-0 api:1.01-0 did:00000000 uid:00000001");
}

TEST(UnitSummary, VersionPartsAndIds) {
  UnitHeader header = make_header(kModuleOsc);
  uint8_t* h = header.bytes.data();
  put_le32(h + kHdrVersion, 0x7F6405);  // parts 127, 100, 5
  put_le32(h + kHdrApi, 0x020A00);
  put_le32(h + kHdrDevId, 0xABCDEF12);
  put_le32(h + kHdrPrgId, 0x2A);
  EXPECT_EQ(unit_summary(header), "\"Saw\" v99.99-5 api:2.10-0 did:ABCDEF12 uid:0000002A");
}

}  // namespace
}  // namespace quave
