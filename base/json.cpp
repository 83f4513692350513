#include "base/json.hpp"

#include <cstdio>

namespace quave {

namespace {

void append_u_escape(std::string& out, unsigned unit) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "\\u%04x", unit & 0xFFFF);
  out += buf;
}

// The code point of the well-formed UTF-8 sequence at `at`, and its length;
// 0 as the length where the bytes there are not one.
std::pair<uint32_t, size_t> utf8_at(const std::string& bytes, size_t at) {
  const auto byte = [&](size_t i) { return static_cast<unsigned char>(bytes[i]); };
  const unsigned char lead = byte(at);
  size_t length = 0;
  uint32_t point = 0;
  uint32_t least = 0;
  if (lead >= 0xC0 && lead < 0xE0) {
    length = 2, point = lead & 0x1F, least = 0x80;
  } else if (lead >= 0xE0 && lead < 0xF0) {
    length = 3, point = lead & 0x0F, least = 0x800;
  } else if (lead >= 0xF0 && lead < 0xF8) {
    length = 4, point = lead & 0x07, least = 0x10000;
  } else {
    return {0, 0};
  }
  if (at + length > bytes.size()) return {0, 0};
  for (size_t i = 1; i < length; ++i) {
    if ((byte(at + i) & 0xC0) != 0x80) return {0, 0};
    point = (point << 6) | (byte(at + i) & 0x3F);
  }
  // Overlong forms, surrogates and points beyond Unicode are not UTF-8.
  if (point < least || (point >= 0xD800 && point < 0xE000) || point > 0x10FFFF) return {0, 0};
  return {point, length};
}

}  // namespace

std::string json_quote(const std::string& bytes) {
  std::string out = "\"";
  for (size_t at = 0; at < bytes.size();) {
    const unsigned char c = static_cast<unsigned char>(bytes[at]);
    if (c < 0x80) {
      switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\b': out += "\\b"; break;
        case '\f': out += "\\f"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
          if (c < 0x20 || c == 0x7F) {
            append_u_escape(out, c);
          } else {
            out += static_cast<char>(c);
          }
      }
      ++at;
      continue;
    }
    const auto [point, length] = utf8_at(bytes, at);
    if (length == 0) {
      append_u_escape(out, 0xFFFD);
      ++at;
      continue;
    }
    if (point < 0x10000) {
      append_u_escape(out, point);
    } else {
      append_u_escape(out, 0xD800 + ((point - 0x10000) >> 10));
      append_u_escape(out, 0xDC00 + ((point - 0x10000) & 0x3FF));
    }
    at += length;
  }
  return out + "\"";
}

Json Json::object() {
  Json value;
  value.kind_ = Kind::object;
  return value;
}

Json Json::array() {
  Json value;
  value.kind_ = Kind::array;
  return value;
}

Json Json::boolean(bool b) {
  Json value;
  value.kind_ = Kind::boolean;
  value.boolean_ = b;
  return value;
}

Json Json::number(int64_t n) {
  Json value;
  value.kind_ = Kind::number;
  value.number_ = n;
  return value;
}

Json Json::string(std::string bytes) {
  Json value;
  value.kind_ = Kind::string;
  value.string_ = std::move(bytes);
  return value;
}

Json Json::string_or_null(const std::string* bytes) { return bytes ? string(*bytes) : Json(); }

Json& Json::set(const std::string& key, Json value) {
  for (auto& member : items_) {
    if (member.first == key) {
      member.second = std::move(value);
      return *this;
    }
  }
  items_.emplace_back(key, std::move(value));
  return *this;
}

Json& Json::push(Json value) {
  items_.emplace_back(std::string(), std::move(value));
  return *this;
}

bool Json::flat() const {
  for (const auto& item : items_) {
    if (item.second.kind_ == Kind::array || item.second.kind_ == Kind::object) return false;
  }
  return true;
}

void Json::write(std::string& out, unsigned depth) const {
  switch (kind_) {
    case Kind::null: out += "null"; return;
    case Kind::boolean: out += boolean_ ? "true" : "false"; return;
    case Kind::number: out += std::to_string(number_); return;
    case Kind::string: out += json_quote(string_); return;
    case Kind::array:
    case Kind::object: break;
  }
  const bool is_object = kind_ == Kind::object;
  out += is_object ? '{' : '[';
  const bool one_line = flat();
  const std::string inner(2 * (depth + 1), ' ');
  for (size_t i = 0; i < items_.size(); ++i) {
    if (i > 0) out += ',';
    out += one_line ? (i > 0 ? " " : "") : "\n" + inner;
    if (is_object) out += json_quote(items_[i].first) + ": ";
    items_[i].second.write(out, depth + 1);
  }
  if (!one_line && !items_.empty()) out += "\n" + std::string(2 * depth, ' ');
  out += is_object ? '}' : ']';
}

std::string Json::text() const {
  std::string out;
  write(out, 0);
  return out + "\n";
}

}  // namespace quave
