// A cheap scan of manifest text before the JSON reader sees it. The reader
// recurses once per nesting level and builds a node per value, so a small
// archive could otherwise crash it or make it take gigabytes.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

namespace quave {

constexpr unsigned kMaxJsonDepth = 64;
constexpr size_t kMaxJsonValues = 16384;

// The refusal text when `text` nests deeper or holds more values than the
// limits allow; nothing otherwise, malformed text included (the reader
// reports that).
std::optional<std::string> json_limit_refusal(const char* text, size_t length);

}  // namespace quave
