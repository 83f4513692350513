#include "base/console.hpp"

#include <cstdio>
#include <iostream>

namespace quave {

void out_text(const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fflush(stdout);
}

void err_text(const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), stderr);
  std::fflush(stderr);
}

void flush_both() {
  std::fflush(stdout);
  std::fflush(stderr);
}

}  // namespace quave
