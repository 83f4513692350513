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

LockObstacle obstacle_of(const struct stat& info) {
  if (S_ISDIR(info.st_mode)) return LockObstacle::folder;
  if (S_ISFIFO(info.st_mode)) return LockObstacle::fifo;
  if (!S_ISREG(info.st_mode)) return LockObstacle::other;
  if (info.st_nlink > 1) return LockObstacle::hard_link;
  return LockObstacle::none;
}

LockObstacle obstacle_of_open_error(int error) {
  switch (error) {
    case ELOOP:
    case EMLINK: return LockObstacle::link;  // O_NOFOLLOW's word for a link
    case EACCES:
    case EPERM: return LockObstacle::unreadable;
    default: return LockObstacle::other;
  }
}

bool same_file(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

}  // namespace

LockTaking SynthLock::try_take(const std::string& key, const std::string& who) {
  return try_take_in(lock_folder(), key, who);
}

LockTaking SynthLock::try_take_in(const std::string& folder, const std::string& key,
                                  const std::string& who,
                                  const std::function<void()>& before_locking) {
  LockTaking taking;
  taking.lock.reset(new SynthLock);
  const std::string path = folder + "/" + lock_name(key) + ".lock";
  // Each round lost to another command, which removed the file between our
  // finding it and locking it, starts over; a few are plenty.
  for (int round = 0; round < 16; ++round) {
    // Made here, or else found: O_EXCL makes a new file or fails, and
    // neither open follows a link or waits on a FIFO.
    int fd = open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    const bool made = fd >= 0;
    if (!made) {
      const int make_error = errno;
      fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
      if (fd < 0) {
        const int error = errno;
        if (error == ENOENT && make_error == EEXIST) continue;
        // No place for a lock at all (a folder no one may write to): go on
        // without one, as where the system has none.
        if (error == ENOENT) return taking;
        taking.obstacle = obstacle_of_open_error(error);
        taking.place = path;
        return taking;
      }
    }
    struct stat found {};
    if (fstat(fd, &found) != 0) {
      if (made) unlink(path.c_str());
      close(fd);
      return taking;
    }
    if (found.st_nlink == 0) {  // removed since it was opened
      close(fd);
      continue;
    }
    // What this command made is a file, whatever names others give it.
    if (const LockObstacle obstacle = obstacle_of(found); !made && obstacle != LockObstacle::none) {
      close(fd);
      taking.obstacle = obstacle;
      taking.place = path;
      return taking;
    }
    // Readable by every user's command, whatever this one's umask.
    if (made) fchmod(fd, 0644);
    if (before_locking) before_locking();
    int locked;
    do {
      locked = flock(fd, LOCK_EX | LOCK_NB);
    } while (locked != 0 && errno == EINTR);
    if (locked != 0) {
      const int why = errno;
      if (why == EWOULDBLOCK) {
        // At most a name's length and one more byte, which tells a longer
        // text from a name.
        char text[kHolderNameMax + 1];
        const ssize_t n = pread(fd, text, sizeof text, 0);
        if (n > 0) taking.holder = printable_holder(std::string(text, static_cast<size_t>(n)));
        taking.lock.reset();
      } else if (made) {
        unlink(path.c_str());  // a file system without locks: go on as before
      }
      close(fd);
      return taking;
    }
    // The lock holds only while the file is still the one at the path: a
    // holder removes its file before it lets go, and another may have made
    // a new one since.
    struct stat now {};
    if (lstat(path.c_str(), &now) != 0 || !same_file(now, found)) {
      close(fd);
      continue;
    }
    if (!made) {
      // A file no one holds is one a killed command left (or another has
      // just made and not locked yet): removed, and the round starts over.
      // A larger file was never a lock of ours and stays; so does one the
      // folder keeps for its owner (the sticky bit), a lock as it stands.
      if (found.st_size <= static_cast<off_t>(kHolderNameMax) && unlink(path.c_str()) == 0) {
        close(fd);
        continue;
      }
      taking.lock->handle_ = fd;
      return taking;
    }
    const std::string note = who + " (process " + std::to_string(getpid()) + ")";
    if (write(fd, note.data(), note.size()) < 0) {
      // The lock holds all the same; a waiter says "another command".
    }
    taking.lock->handle_ = fd;
    taking.lock->made_path_ = path;
    taking.lock->made_device_ = static_cast<unsigned long long>(found.st_dev);
    taking.lock->made_inode_ = static_cast<unsigned long long>(found.st_ino);
    return taking;
  }
  // Every round lost: as if it were held, and the caller asks again.
  taking.lock.reset();
  return taking;
}

SynthLock::~SynthLock() {
  if (handle_ < 0) return;
  if (!made_path_.empty()) {
    struct stat now {};
    if (lstat(made_path_.c_str(), &now) == 0 &&
        static_cast<unsigned long long>(now.st_dev) == made_device_ &&
        static_cast<unsigned long long>(now.st_ino) == made_inode_) {
      unlink(made_path_.c_str());
    }
  }
  // Closing the descriptor frees the lock.
  close(static_cast<int>(handle_));
}

}  // namespace quave
