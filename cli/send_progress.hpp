// The line a terminal shows while a long message goes out: bytes sent of
// the total, the share, and the rate. It appears once the sending has taken
// a second, is redrawn in place, and is gone when the sending ends.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>

namespace quave {

// "Sending 4096 of 16384 bytes (25%), 3125 B/s".
std::string progress_text(size_t sent, size_t total, uint64_t elapsed_us);

class SendProgress {
 public:
  // `shown`: standard error is a terminal; otherwise nothing is ever drawn.
  SendProgress(size_t total, bool shown);
  ~SendProgress();  // erases the line, whatever ended the sending
  SendProgress(const SendProgress&) = delete;
  SendProgress& operator=(const SendProgress&) = delete;

  void update(size_t sent);

 private:
  using Clock = std::chrono::steady_clock;
  size_t total_;
  bool shown_;
  bool drawn_ = false;
  Clock::time_point start_ = Clock::now();
  Clock::time_point last_draw_;
};

}  // namespace quave
