#include "unit/json_limits.hpp"

namespace quave {

std::optional<std::string> json_limit_refusal(const char* text, size_t length) {
  unsigned depth = 0;
  // Each node but the root is the first in its container (counted at the
  // opening bracket) or follows a comma, so this bounds the reader's nodes.
  size_t values = 1;
  bool in_string = false;
  bool escaped = false;
  for (size_t i = 0; i < length; ++i) {
    const char c = text[i];
    if (in_string) {
      if (escaped) {
        escaped = false;
      } else if (c == '\\') {
        escaped = true;
      } else if (c == '"') {
        in_string = false;
      }
      continue;
    }
    switch (c) {
      case '"':
        in_string = true;
        break;
      case '[':
      case '{':
        if (++depth > kMaxJsonDepth)
          return "Manifest is nested too deeply. (more than " + std::to_string(kMaxJsonDepth) +
                 " levels)";
        ++values;
        break;
      case ']':
      case '}':
        if (depth > 0) --depth;
        break;
      case ',':
        ++values;
        break;
      default:
        break;
    }
    if (values > kMaxJsonValues)
      return "Manifest holds too many values. (more than " + std::to_string(kMaxJsonValues) + ")";
  }
  return std::nullopt;
}

}  // namespace quave
