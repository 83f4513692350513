#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "device/midi/system/synth_lock.hpp"

namespace quave {

namespace {

// Memory-backed where there is one, shared by every user of the machine
// (a synthesizer is), and private to a container with its own.
std::string lock_folder() {
  struct stat info {};
  if (stat("/dev/shm", &info) == 0 && S_ISDIR(info.st_mode) && access("/dev/shm", W_OK) == 0) {
    return "/dev/shm";
  }
  return "/tmp";
}

}  // namespace

std::unique_ptr<SynthLock> SynthLock::try_take(const std::string& key, const std::string& who,
                                               std::string& holder) {
  std::unique_ptr<SynthLock> lock(new SynthLock);
  const std::string path = lock_folder() + "/" + lock_name(key) + ".lock";
  int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
  if (fd >= 0) {
    // Another user's command must be able to open it too.
    fchmod(fd, 0666);
  } else {
    fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  }
  if (fd < 0) return lock;
  int taken;
  do {
    taken = flock(fd, LOCK_EX | LOCK_NB);
  } while (taken != 0 && errno == EINTR);
  if (taken != 0) {
    const int why = errno;
    holder.clear();
    char text[256];
    const ssize_t n = pread(fd, text, sizeof text, 0);
    if (n > 0) holder.assign(text, static_cast<size_t>(n));
    close(fd);
    if (why == EWOULDBLOCK) return nullptr;
    return lock;  // a file system without locks: go on as before
  }
  const std::string note = who + " (process " + std::to_string(getpid()) + ")";
  if (ftruncate(fd, 0) == 0) {
    lock->wrote_note_ = pwrite(fd, note.data(), note.size(), 0) > 0;
  }
  lock->handle_ = fd;
  return lock;
}

SynthLock::~SynthLock() {
  if (handle_ < 0) return;
  if (wrote_note_ && ftruncate(static_cast<int>(handle_), 0) != 0) {
    // Left as it is; a waiter then names this command for a moment.
  }
  // Closing the descriptor frees the lock.
  close(static_cast<int>(handle_));
}

}  // namespace quave
