#include "tools/devsim/cli/request_log.hpp"

namespace devsim {

std::string hex_line(const device_side::Message& m) {
  static const char digits[] = "0123456789abcdef";
  std::string line;
  line.reserve(m.size() * 3);
  for (size_t i = 0; i < m.size(); ++i) {
    if (i) line += ' ';
    line += digits[m[i] >> 4];
    line += digits[m[i] & 0x0F];
  }
  return line;
}

RequestLog::~RequestLog() {
  if (file_) std::fclose(file_);
}

bool RequestLog::open(const std::string& path) {
  file_ = std::fopen(path.c_str(), "w");
  return file_ != nullptr;
}

void RequestLog::record(const device_side::Message& m) {
  if (!file_) return;
  const std::string line = hex_line(m) + "\n";
  std::fwrite(line.data(), 1, line.size(), file_);
  std::fflush(file_);
}

}  // namespace devsim
