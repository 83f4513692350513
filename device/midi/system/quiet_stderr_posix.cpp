#include "device/midi/system/quiet_stderr.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <iostream>

namespace quave {

QuietStderr::QuietStderr(bool keep) {
  if (keep) return;
  std::cerr.flush();
  std::fflush(stderr);
  const int null_fd = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
  if (null_fd < 0) return;
  saved_fd_ = ::fcntl(2, F_DUPFD_CLOEXEC, 3);
  if (saved_fd_ >= 0) ::dup2(null_fd, 2);
  ::close(null_fd);
}

QuietStderr::~QuietStderr() {
  if (saved_fd_ < 0) return;
  std::cerr.flush();
  std::fflush(stderr);
  ::dup2(saved_fd_, 2);
  ::close(saved_fd_);
}

}  // namespace quave
