// Probe's JSON: every string made valid JSON whatever its bytes, and the
// document's shape.
#include <gtest/gtest.h>

#include "base/json.hpp"
#include "display/probe_json.hpp"
#include "tests/device/fake_device.hpp"

namespace quave {
namespace {

TEST(JsonQuote, AnyBytesGiveAValidAsciiString) {
  struct Case {
    std::string bytes;
    const char* quoted;
  };
  const Case cases[] = {
      {"plain text", R"("plain text")"},
      {"\"\\/", R"("\"\\/")"},
      {std::string("\b\f\n\r\t\x01\x1f\x7f", 8), R"("\b\f\n\r\t\u0001\u001f\u007f")"},
      {std::string("a\0b", 3), R"("a\u0000b")"},
      // Well-formed UTF-8 of two, three and four bytes; the last as a pair.
      {"\xc3\xa9\xe2\x82\xac\xf0\x9f\x8e\xb9", R"("\u00e9\u20ac\ud83c\udfb9")"},
      // Not UTF-8: each byte that cannot start a sequence becomes U+FFFD.
      {"\xff\xfe", R"("\ufffd\ufffd")"},
      {"\x80x", R"("\ufffdx")"},                 // a continuation alone
      {"\xc3", R"("\ufffd")"},                   // cut at the end
      {"\xe2\x82x", R"("\ufffd\ufffdx")"},       // cut before a plain byte
      {"\xc0\x80", R"("\ufffd\ufffd")"},         // overlong
      {"\xed\xa0\x80", R"("\ufffd\ufffd\ufffd")"},  // a surrogate
      {"\xf4\x90\x80\x80", R"("\ufffd\ufffd\ufffd\ufffd")"},  // beyond U+10FFFF
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.quoted);
    EXPECT_EQ(json_quote(c.bytes), c.quoted);
  }
}

TEST(Json, ContainersOfScalarsStayOnOneLine) {
  Json doc = Json::object();
  doc.set("n", Json::number(-3)).set("t", Json::boolean(true)).set("z", Json());
  doc.set("flat", Json::array().push(Json::number(1)).push(Json::string("x")));
  doc.set("empty", Json::array());
  doc.set("deep", Json::array().push(Json::object().set("k", Json::boolean(false))));
  doc.set("n", Json::number(4));  // replaces, in place
  EXPECT_EQ(doc.text(),
            "{\n"
            "  \"n\": 4,\n"
            "  \"t\": true,\n"
            "  \"z\": null,\n"
            "  \"flat\": [1, \"x\"],\n"
            "  \"empty\": [],\n"
            "  \"deep\": [\n"
            "    {\"k\": false}\n"
            "  ]\n"
            "}\n");
}

TEST(ProbeJson, ModulesWithEverySlotRecorded) {
  DeviceInfo info;
  info.platform = 3;
  info.system_version = {0, 0, 7, 0};
  info.api_version = {3, 1, 1};
  auto module = [](uint32_t payload, uint32_t load, uint8_t slots) {
    ModuleInfo m;
    const auto d = test::module_data(payload, load, slots);
    std::copy(d.begin(), d.end(), m.bytes.begin());
    return m;
  };
  info.modules[1] = module(100, 4294967295u, 2);
  info.modules[3] = module(1, 2, 20);
  // A name of bytes that are not all text.
  const auto occupied = test::slot_data(1, "a\"b\\\x01\xc3\xa9\xff");
  std::copy(occupied.begin(), occupied.end(), info.slots[1][1].bytes.begin());

  EXPECT_EQ(probe_json(info, 1).text(),
            "{\n"
            "  \"device\": \"orvalt tonal\",\n"
            "  \"system_version\": \"0.07b\",\n"
            "  \"api_version\": \"1.01-3\",\n"
            "  \"modules\": [\n"
            "    {\n"
            "      \"module\": \"modfx\",\n"
            "      \"name\": \"Modulation FX\",\n"
            "      \"slot_count\": 2,\n"
            "      \"max_payload_size\": 100,\n"
            "      \"max_load_size\": 4294967295,\n"
            "      \"slots\": [\n"
            "        {\"slot\": 0, \"free\": true},\n"
            "        {\"slot\": 1, \"free\": false, \"name\": \"a\\\"b\\\\\\u0001\\u00e9\\ufffd\", "
            "\"version\": \"1.00-0\", \"api\": \"1.01-0\", \"dev_id\": \"00000044\", "
            "\"unit_id\": \"00000007\"}\n"
            "      ]\n"
            "    }\n"
            "  ]\n"
            "}\n");

  // Every module, global first; the slots that have records, 16 at most.
  const std::string all = probe_json(info, std::nullopt).text();
  size_t modules = 0;
  for (size_t at = all.find("\"module\": "); at != std::string::npos;
       at = all.find("\"module\": ", at + 1)) {
    ++modules;
  }
  EXPECT_EQ(modules, 5u);
  EXPECT_NE(all.find("\"module\": \"global\",\n      \"name\": \"Global\",\n      \"slot_count\": "
                     "0,\n      \"max_payload_size\": 0,\n      \"max_load_size\": 0,\n      "
                     "\"slots\": []"),
            std::string::npos)
      << all;
  EXPECT_NE(all.find("\"slot_count\": 20,"), std::string::npos);
  EXPECT_NE(all.find("{\"slot\": 15, \"free\": true}\n"), std::string::npos);
  EXPECT_EQ(all.find("{\"slot\": 16,"), std::string::npos);
}

}  // namespace
}  // namespace quave
