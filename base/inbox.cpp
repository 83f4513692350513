#include "base/inbox.hpp"

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

std::optional<Inbox::Message> Inbox::take(Clock::time_point until) {
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait_until(lock, until, [this] { return rung_ || !messages_.empty(); });
  if (messages_.empty() || rung_) return std::nullopt;
  Message message = std::move(messages_.front());
  messages_.pop_front();
  bytes_ -= message.size();
  return message;
}

std::vector<Inbox::Message> Inbox::take_all(Clock::time_point until, size_t count) {
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait_until(lock, until, [&] { return rung_ || messages_.size() >= count; });
  std::vector<Message> all;
  if (rung_) return all;
  all.reserve(messages_.size());
  for (Message& m : messages_) all.push_back(std::move(m));
  messages_.clear();
  bytes_ = 0;
  return all;
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
