// The record of every message the simulator received, for tests to read
// while it runs.
#pragma once

#include <cstdio>
#include <string>

#include "tools/devsim/device/sysex.hpp"

namespace devsim {

// "f0 42 50 00 55 f7": lowercase two-digit hex bytes, single blanks.
std::string hex_line(const device_side::Message& m);

class RequestLog {
 public:
  RequestLog() = default;
  ~RequestLog();
  RequestLog(const RequestLog&) = delete;
  RequestLog& operator=(const RequestLog&) = delete;

  // Truncates the file; false when it cannot be opened.
  bool open(const std::string& path);
  // One line per message, flushed at once so readers see whole lines.
  void record(const device_side::Message& m);

 private:
  std::FILE* file_ = nullptr;
};

}  // namespace devsim
