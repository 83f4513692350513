// One command at a time for a synthesizer. Two commands that talk to one
// synthesizer at once take each other's replies, and on a card's port a
// message of one goes out between the parts of the other's long load. The
// lock is the system's own (a file lock on POSIX systems, a named mutex on
// Windows), so a command that dies, even killed, leaves nothing held.
#pragma once

#include <memory>
#include <string>

namespace quave {

class SynthLock {
 public:
  // Takes the lock named by `key` (any text: the synthesizer's port and
  // system) and leaves `who` and the process id for a command that would
  // wait. When another
  // holds it: nothing, and `holder` says what it left (may be empty). Where
  // the system gives no place for a lock, a lock that holds nothing.
  static std::unique_ptr<SynthLock> try_take(const std::string& key, const std::string& who,
                                             std::string& holder);
  ~SynthLock();
  SynthLock(const SynthLock&) = delete;
  SynthLock& operator=(const SynthLock&) = delete;

 private:
  SynthLock() = default;
  // A file descriptor, or a mutex's handle; -1 for none.
  long long handle_ = -1;
  // Where this holder's name went, to be taken back with the lock: a name
  // left behind would be read by the next waiter before the next holder has
  // written its own.
  bool wrote_note_ = false;
  std::string note_path_;
};

// The part of a lock's file name made of `key`: the characters a file name
// keeps everywhere, and a hash of the whole key, which tells apart keys
// that differ only in the others.
std::string lock_name(const std::string& key);

}  // namespace quave
