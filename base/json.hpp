// A JSON document built whole in memory and written in one piece, so that a
// failure part-way leaves nothing half-written.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace quave {

class Json {
 public:
  Json() = default;  // null
  static Json object();
  static Json array();
  static Json boolean(bool value);
  static Json number(int64_t value);
  static Json string(std::string bytes);
  // Nothing: null.
  static Json string_or_null(const std::string* bytes);

  // Members keep the order they were set in; setting a key again replaces
  // its value. Only on an object.
  Json& set(const std::string& key, Json value);
  // Only on an array.
  Json& push(Json value);

  // Two-space indented, ending with a line end. An object or array that
  // holds no object or array stays on one line.
  std::string text() const;

 private:
  enum class Kind { null, boolean, number, string, array, object };
  void write(std::string& out, unsigned depth) const;
  bool flat() const;

  Kind kind_ = Kind::null;
  bool boolean_ = false;
  int64_t number_ = 0;
  std::string string_;
  // An array's items, or an object's members with their keys.
  std::vector<std::pair<std::string, Json>> items_;
};

// A JSON string literal of `bytes`, quotes included, in ASCII alone: quote,
// backslash and control characters escaped, UTF-8 as \u escapes (surrogate
// pairs above U+FFFF), and every byte that is not part of well-formed UTF-8
// as U+FFFD, so that no input makes the document invalid.
std::string json_quote(const std::string& bytes);

}  // namespace quave
