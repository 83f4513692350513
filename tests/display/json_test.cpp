// The JSON writer: every string valid JSON whatever its bytes, and the
// layout. What probe puts in it is read back by a JSON parser in
// tests/e2e/reload_and_json.hpp.
#include <gtest/gtest.h>

#include "base/json.hpp"

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

}  // namespace
}  // namespace quave
