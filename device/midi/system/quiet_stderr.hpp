// MIDI libraries print to standard error while a backend is tried or a port
// is counted, named or opened (ALSA lib lines, "Cannot connect to server",
// their own warnings). Those lines mean nothing to the user unless they are
// debugging, so file descriptor 2 points at the null device for the duration.
#pragma once

namespace quave {

class QuietStderr {
 public:
  // `keep` leaves standard error alone (debug mode).
  explicit QuietStderr(bool keep);
  ~QuietStderr();
  QuietStderr(const QuietStderr&) = delete;
  QuietStderr& operator=(const QuietStderr&) = delete;

 private:
  int saved_fd_ = -1;
};

}  // namespace quave
