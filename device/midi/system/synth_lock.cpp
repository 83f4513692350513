#include "device/midi/system/synth_lock.hpp"

#include <cstdint>
#include <cstdio>

namespace quave {

std::string lock_name(const std::string& key) {
  std::string name;
  uint32_t hash = 2166136261u;  // FNV-1a
  for (unsigned char c : key) {
    hash = (hash ^ c) * 16777619u;
    const bool kept = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                      c == '-' || c == '.';
    name += kept ? static_cast<char>(c) : '_';
  }
  // Short enough for any file system and for a mutex's name.
  if (name.size() > 100) name.resize(100);
  char tail[16];
  std::snprintf(tail, sizeof tail, "-%08x", static_cast<unsigned>(hash));
  return "quave-cli-" + name + tail;
}

std::string printable_holder(const std::string& text) {
  if (text.size() > kHolderNameMax) return std::string();
  for (unsigned char c : text) {
    if (c < 0x20 || c > 0x7e) return std::string();
  }
  return text;
}

}  // namespace quave
