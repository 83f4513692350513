#include "cli/send_progress.hpp"

#include "base/console.hpp"

namespace quave {

namespace {

constexpr auto kQuietFor = std::chrono::seconds(1);
// Often enough to watch, seldom enough not to flood a slow terminal.
constexpr auto kRedrawEvery = std::chrono::milliseconds(100);

}  // namespace

std::string progress_text(size_t sent, size_t total, uint64_t elapsed_us) {
  const unsigned percent = total ? static_cast<unsigned>(uint64_t{sent} * 100 / total) : 100;
  std::string text = "Sending " + std::to_string(sent) + " of " + std::to_string(total) +
                     " bytes (" + std::to_string(percent) + "%)";
  if (elapsed_us > 0) {
    const uint64_t rate = uint64_t{sent} * 1000000 / elapsed_us;
    if (rate < 10240) {
      text += ", " + std::to_string(rate) + " B/s";
    } else {
      const uint64_t tenths = rate * 10 / 1024;
      text += ", " + std::to_string(tenths / 10) + "." + std::to_string(tenths % 10) + " KiB/s";
    }
  }
  return text;
}

SendProgress::SendProgress(size_t total, bool shown) : total_(total), shown_(shown) {}

SendProgress::~SendProgress() {
  if (drawn_) clear_status();
}

void SendProgress::update(size_t sent) {
  if (!shown_) return;
  const Clock::time_point now = Clock::now();
  if (now - start_ < kQuietFor || (drawn_ && now - last_draw_ < kRedrawEvery && sent < total_)) return;
  const auto elapsed = std::chrono::duration_cast<std::chrono::microseconds>(now - start_);
  status_text(progress_text(sent, total_, static_cast<uint64_t>(elapsed.count())));
  drawn_ = true;
  last_draw_ = now;
}

}  // namespace quave
