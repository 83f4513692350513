#include "base/console.hpp"

#include <algorithm>
#include <cstdio>

namespace quave {

namespace {

// Width of the status line on the screen; 0 when none is drawn.
size_t status_width = 0;

// Blanks, not an escape sequence: a Windows console may not take those.
void erase_status() {
  if (status_width == 0) return;
  const std::string blank = "\r" + std::string(status_width, ' ') + "\r";
  std::fwrite(blank.data(), 1, blank.size(), stderr);
  std::fflush(stderr);
  status_width = 0;
}

void write(std::FILE* stream, const std::string& text) {
  erase_status();
  std::fwrite(text.data(), 1, text.size(), stream);
  std::fflush(stream);
}

}  // namespace

void out_text(const std::string& text) { write(stdout, text); }

void err_text(const std::string& text) { write(stderr, text); }

void flush_both() {
  std::fflush(stdout);
  std::fflush(stderr);
}

void status_text(const std::string& text) {
  std::string line = "\r" + text;
  // A shorter text leaves the end of the longer one behind.
  if (text.size() < status_width) line += std::string(status_width - text.size(), ' ');
  std::fwrite(line.data(), 1, line.size(), stderr);
  std::fflush(stderr);
  status_width = std::max(status_width, text.size());
}

void clear_status() { erase_status(); }

}  // namespace quave
