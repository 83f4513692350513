#include "unit/json_limits.hpp"

namespace quave {

std::optional<std::string> json_limit_refusal(const char* text, size_t length) {
  unsigned depth = 0;
  // Every value but the first follows a comma or opens a container, so this
  // bounds the number of nodes the reader would build.
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
