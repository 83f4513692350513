#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <iostream>

#include "device/midi/system/quiet_stderr.hpp"

namespace quave {

QuietStderr::QuietStderr(bool keep) {
  if (keep) return;
  std::cerr.flush();
  std::fflush(stderr);
  const int null_fd = _open("NUL", _O_WRONLY | _O_NOINHERIT);
  if (null_fd < 0) return;
  saved_fd_ = _dup(2);
  if (saved_fd_ >= 0) _dup2(null_fd, 2);
  _close(null_fd);
}

QuietStderr::~QuietStderr() {
  if (saved_fd_ < 0) return;
  std::cerr.flush();
  std::fflush(stderr);
  _dup2(saved_fd_, 2);
  _close(saved_fd_);
}

}  // namespace quave
