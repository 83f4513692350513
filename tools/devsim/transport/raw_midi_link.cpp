#include "tools/devsim/transport/raw_midi_link.hpp"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace devsim {

namespace {

using Clock = std::chrono::steady_clock;

// An idle link saves up no time: once its buffer has run empty it drains
// steadily again, with no burst. A link with bytes waiting drains at its
// rate whatever this process does, so while the buffer is not empty the
// credit grows without that limit: a simulator held up by a busy machine
// catches up, as the wire would have.
constexpr double kMostCredit = 32;
constexpr auto kDrainTurn = std::chrono::milliseconds(2);

}  // namespace

void SysexAssembler::feed(const uint8_t* bytes, size_t size, std::vector<device_side::Message>& done) {
  for (size_t i = 0; i < size; ++i) {
    const uint8_t b = bytes[i];
    if (b >= 0xF8) continue;
    if (b == device_side::kStart) {
      partial_.assign(1, b);
      in_sysex_ = true;
    } else if (b == device_side::kEnd) {
      if (in_sysex_) {
        partial_.push_back(b);
        done.push_back(std::move(partial_));
        partial_.clear();
      }
      in_sysex_ = false;
    } else if (b & 0x80) {
      partial_.clear();
      in_sysex_ = false;
    } else if (in_sysex_) {
      partial_.push_back(b);
    }
  }
}

RawMidiLink::RawMidiLink(const std::string& path, uint32_t bytes_per_second)
    : path_(path), rate_(bytes_per_second), last_(Clock::now()) {
  fd_ = open(path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
  if (fd_ < 0) throw std::runtime_error("cannot open " + path + ": " + std::strerror(errno));
}

RawMidiLink::~RawMidiLink() {
  if (fd_ >= 0) close(fd_);
}

std::vector<device_side::Message> RawMidiLink::receive(Clock::time_point until) {
  std::vector<device_side::Message> done;
  uint8_t buffer[4096];
  for (;;) {
    const Clock::time_point now = Clock::now();
    size_t allowed = sizeof buffer;
    if (rate_ > 0) {
      credit_ += std::chrono::duration<double>(now - last_).count() * rate_;
      if (idle_) credit_ = std::min(kMostCredit + 1, credit_);
      allowed = std::min(sizeof buffer, static_cast<size_t>(std::max(0.0, credit_)));
    }
    last_ = now;
    if (allowed > 0) {
      const ssize_t n = read(fd_, buffer, allowed);
      if (n > 0) {
        if (rate_ > 0) credit_ -= static_cast<double>(n);
        assembler_.feed(buffer, static_cast<size_t>(n), done);
      }
      idle_ = n < static_cast<ssize_t>(allowed);
    }
    if (!done.empty() || now >= until) return done;
    // With a rate, bytes left in the kernel's buffer wait for the next turn.
    auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(until - now);
    if (rate_ > 0) wait = std::min<std::chrono::milliseconds>(wait, kDrainTurn);
    pollfd p{fd_, POLLIN, 0};
    poll(&p, 1, static_cast<int>(std::max<long>(wait.count(), 1)));
  }
}

void RawMidiLink::send(const device_side::Message& m) {
  // A reply that cannot get out within a second is dropped, as a device
  // whose output is jammed would lose it.
  const Clock::time_point give_up = Clock::now() + std::chrono::seconds(1);
  size_t offset = 0;
  while (offset < m.size() && Clock::now() < give_up) {
    const ssize_t n = write(fd_, m.data() + offset, m.size() - offset);
    if (n > 0) {
      offset += static_cast<size_t>(n);
    } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
      return;
    } else {
      pollfd p{fd_, POLLOUT, 0};
      poll(&p, 1, 10);
    }
  }
}

}  // namespace devsim
