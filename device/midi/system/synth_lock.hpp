// One command at a time for a synthesizer. Two commands that talk to one
// synthesizer at once take each other's replies, and on a card's port a
// message of one goes out between the parts of the other's long load. The
// lock is the system's own (a file lock on POSIX systems, a named mutex on
// Windows), so a command that dies, even killed, leaves nothing held.
//
// Its place is one every user of the machine can write to, at a name anyone
// can work out, so whatever is found there is taken as another user's: it is
// never followed, written, emptied or given other rights. The holder writes
// its name only into a file it made itself, and removes that file when it
// lets go.
#pragma once

#include <functional>
#include <memory>
#include <string>

namespace quave {

// What stood at the lock's place that cannot be a lock.
enum class LockObstacle { none, link, hard_link, folder, fifo, other, unreadable };

class SynthLock;

struct LockTaking {
  // Null while another command holds the lock. Otherwise the lock, which
  // holds nothing where the system gives it no place or `obstacle` is set.
  std::unique_ptr<SynthLock> lock;
  // While another holds it: the name it left, when that is one short line
  // of printable characters; otherwise empty.
  std::string holder;
  // What stood at `place` (a path) instead of a lock.
  LockObstacle obstacle = LockObstacle::none;
  std::string place;
};

class SynthLock {
 public:
  // Takes the lock named by `key` (any text: the synthesizer's port and
  // system) and leaves `who` and the process id for a command that waits.
  static LockTaking try_take(const std::string& key, const std::string& who);
  // The same, with the lock's file (on Windows the holder's name) in
  // `folder`. `before_locking`, for tests, runs between finding the file
  // and locking it.
  static LockTaking try_take_in(const std::string& folder, const std::string& key,
                                const std::string& who,
                                const std::function<void()>& before_locking = {});
  ~SynthLock();
  SynthLock(const SynthLock&) = delete;
  SynthLock& operator=(const SynthLock&) = delete;

 private:
  SynthLock() = default;
  // A file descriptor, or a mutex's handle; -1 for none.
  long long handle_ = -1;
  // The file this holder made, removed when it lets go (while still held,
  // so that a waiter that locks it after sees it gone and starts over);
  // empty when it made none.
  std::string made_path_;
  unsigned long long made_device_ = 0;
  unsigned long long made_inode_ = 0;
  // On Windows, the handle of the file with the holder's name, which the
  // system removes when it closes.
  long long note_handle_ = -1;
};

// The part of a lock's file name made of `key`: the characters a file name
// keeps everywhere, and a hash of the whole key, which tells apart keys
// that differ only in the others.
std::string lock_name(const std::string& key);

// The longest holder's name a lock shows.
constexpr size_t kHolderNameMax = 64;

// `text` when it is at most kHolderNameMax printable ASCII characters;
// otherwise the empty text: nothing of a name that is not one is shown.
std::string printable_holder(const std::string& text);

}  // namespace quave
