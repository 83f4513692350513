#include "device/midi/inbox.hpp"

namespace quave {

void Inbox::put(const uint8_t* bytes, size_t size) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (size > kMostBytes - bytes_) return;
    messages_.emplace_back(bytes, bytes + size);
    bytes_ += size;
  }
  changed_.notify_one();
}

std::optional<Message> Inbox::take(Clock::time_point until) {
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait_until(lock, until, [this] { return rung_ || !messages_.empty(); });
  if (messages_.empty() || rung_) return std::nullopt;
  Message message = std::move(messages_.front());
  messages_.pop_front();
  bytes_ -= message.size();
  return message;
}

void Inbox::sleep_until(Clock::time_point until) {
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait_until(lock, until, [this] { return rung_; });
}

void Inbox::ring() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    rung_ = true;
  }
  changed_.notify_all();
}

}  // namespace quave
