// The lock that keeps a second command off a synthesizer: one holder at a
// time, what it left for a waiter, nothing held or left once it is gone,
// and nothing of another user's touched. The hostile cases run in a folder
// of the test's own, where the kernel's link protections (which apply only
// in sticky folders that everyone may write to) cannot hide a fault.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <functional>

#include "device/midi/system/synth_lock.hpp"
#include "tests/support/process.hpp"

namespace quave {
namespace {

using test::TempDir;

constexpr uid_t kNobody = 65534;
const std::string kKey = "alsa vestrel SOUND 128:0";

std::string note_of(const char* who) {
  return std::string(who) + " (process " + std::to_string(getpid()) + ")";
}

std::string lock_path(const TempDir& dir, const std::string& key = kKey) {
  return dir.file(lock_name(key) + ".lock");
}

size_t files_in(const std::string& folder) {
  size_t count = 0;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    (void)entry;
    ++count;
  }
  return count;
}

TEST(SynthLock, OneHolderAtATimeAndItsFileGoesWithIt) {
  const std::string key = "jack test-" + std::to_string(getpid()) + " vestrel SOUND";
  const std::string path = "/dev/shm/" + lock_name(key) + ".lock";
  const mode_t old_mask = umask(077);
  LockTaking first = SynthLock::try_take(key, "quave-cli load");
  umask(old_mask);
  ASSERT_TRUE(first.lock);
  struct stat made {};
  ASSERT_EQ(lstat(path.c_str(), &made), 0);
  EXPECT_EQ(made.st_mode & 07777, 0644u) << "other users' commands cannot read it";
  EXPECT_EQ(test::read_file(path), note_of("quave-cli load"));
  LockTaking second = SynthLock::try_take(key, "quave-cli probe");
  EXPECT_FALSE(second.lock);
  EXPECT_EQ(second.holder, note_of("quave-cli load"));
  // Another synthesizer is free meanwhile.
  EXPECT_TRUE(SynthLock::try_take(key + "2", "quave-cli probe").lock);
  first.lock.reset();
  EXPECT_NE(lstat(path.c_str(), &made), 0) << path << " left behind";
  EXPECT_TRUE(SynthLock::try_take(key, "quave-cli probe").lock);
}

TEST(SynthLock, NamesKeepKeysApart) {
  EXPECT_NE(lock_name("alsa vestrel SOUND"), lock_name("alsa vestrel_SOUND"));
  EXPECT_EQ(lock_name("alsa a/b"), lock_name("alsa a/b"));
  EXPECT_EQ(lock_name("jack x:vestrel SOUND").find('/'), std::string::npos);
  EXPECT_LE(lock_name(std::string(500, 'x')).size(), 130u);
}

TEST(SynthLock, OnlyAShortPrintableNameIsShown) {
  const struct {
    std::string text;
    std::string shown;
  } rows[] = {
      {"quave-cli load (process 4194304)", "quave-cli load (process 4194304)"},
      {std::string(kHolderNameMax, 'x'), std::string(kHolderNameMax, 'x')},
      {std::string(kHolderNameMax + 1, 'x'), ""},
      {"evil \x1b[2J\x1b]0;owned\x07 text", ""},
      {"two\nlines", ""},
      {"tab\there", ""},
      {"caf\xc3\xa9", ""},
      {std::string("nul\0byte", 8), ""},
  };
  for (const auto& row : rows) EXPECT_EQ(printable_holder(row.text), row.shown) << row.text;
}

// What another user may leave at the lock's place, to lure a root command.
struct Planted {
  const char* what;
  std::function<void(const std::string& path, const std::string& target)> plant;
  LockObstacle obstacle;
};

TEST(SynthLock, WhatCannotBeALockIsLeftAloneAndSaidSo) {
  const Planted rows[] = {
      {"symbolic link", [](auto& p, auto& t) { ASSERT_EQ(symlink(t.c_str(), p.c_str()), 0); },
       LockObstacle::link},
      {"dangling link",
       [](auto& p, auto& t) { ASSERT_EQ(symlink((t + "-none").c_str(), p.c_str()), 0); },
       LockObstacle::link},
      {"hard link", [](auto& p, auto& t) { ASSERT_EQ(link(t.c_str(), p.c_str()), 0); },
       LockObstacle::hard_link},
      {"FIFO", [](auto& p, auto&) { ASSERT_EQ(mkfifo(p.c_str(), 0666), 0); }, LockObstacle::fifo},
      {"folder", [](auto& p, auto&) { ASSERT_EQ(mkdir(p.c_str(), 0777), 0); },
       LockObstacle::folder},
  };
  for (const Planted& row : rows) {
    SCOPED_TRACE(row.what);
    TempDir dir;
    const std::string target = dir.file("secret");
    test::write_file(target, "root's own bytes");
    ASSERT_EQ(chmod(target.c_str(), 0600), 0);
    const std::string path = lock_path(dir);
    row.plant(path, target);
    struct stat planted {};
    ASSERT_EQ(lstat(path.c_str(), &planted), 0);

    LockTaking taking = SynthLock::try_take_in(dir.path(), kKey, "quave-cli probe");
    ASSERT_TRUE(taking.lock) << "it waited on what no command holds";
    EXPECT_EQ(taking.obstacle, row.obstacle);
    EXPECT_EQ(taking.place, path);
    taking.lock.reset();

    struct stat after {};
    ASSERT_EQ(stat(target.c_str(), &after), 0);
    EXPECT_EQ(after.st_mode & 07777, 0600u);
    EXPECT_EQ(test::read_file(target), "root's own bytes");
    ASSERT_EQ(lstat(path.c_str(), &after), 0) << "what was planted went";
    EXPECT_EQ(after.st_ino, planted.st_ino);
    EXPECT_EQ(after.st_mode, planted.st_mode);
  }
}

TEST(SynthLock, AnotherUsersFileIsALockNeverWritten) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root, to make another user's files";
  const std::string megabyte(1 << 20, 'm');
  const struct {
    const char* what;
    std::string bytes;
    bool held;
    std::string holder;  // shown while held
    bool stays;          // still at the place once taken
  } rows[] = {
      {"a name with escapes, held", "evil \x1b[2J\x1b]0;owned\x07 text", true, "", true},
      {"a command's name, held", "quave-cli load (process 7)", true, "quave-cli load (process 7)",
       true},
      {"a megabyte, held", megabyte, true, "", true},
      {"a megabyte, free", megabyte, false, "", true},
      // What a killed command leaves: taken back by the next one.
      {"a command's name, free", "quave-cli load (process 7)", false, "", false},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    TempDir dir;
    const std::string path = lock_path(dir);
    test::write_file(path, row.bytes);
    ASSERT_EQ(chown(path.c_str(), kNobody, kNobody), 0);
    ASSERT_EQ(chmod(path.c_str(), 0640), 0);
    // Kept open to read the file as it is after, wherever it went.
    const int theirs = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(theirs, 0);
    if (row.held) {
      ASSERT_EQ(flock(theirs, LOCK_EX), 0);
    }

    LockTaking taking = SynthLock::try_take_in(dir.path(), kKey, "quave-cli probe");
    EXPECT_EQ(bool(taking.lock), !row.held);
    EXPECT_EQ(taking.obstacle, LockObstacle::none);
    EXPECT_EQ(taking.holder, row.holder);
    taking.lock.reset();

    struct stat info {};
    ASSERT_EQ(fstat(theirs, &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
    EXPECT_EQ(info.st_uid, kNobody);
    std::string bytes(row.bytes.size() + 1, '\0');
    bytes.resize(static_cast<size_t>(pread(theirs, bytes.data(), bytes.size(), 0)));
    EXPECT_TRUE(bytes == row.bytes) << "written to";
    EXPECT_EQ(info.st_nlink, row.stays ? 1u : 0u);
    close(theirs);
  }
}

// Not a lock this user's command can take or read: said, never waited for.
TEST(SynthLock, AFileTheUserCannotReadIsSaidSo) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root, to be another user too";
  TempDir dir;
  ASSERT_EQ(chmod(dir.path().c_str(), 01777), 0);
  const std::string path = lock_path(dir);
  test::write_file(path, "root's own bytes");
  ASSERT_EQ(chmod(path.c_str(), 0600), 0);
  EXPECT_EQ(test::run_as(kNobody,
                         [&] {
                           LockTaking t = SynthLock::try_take_in(dir.path(), kKey, "quave-cli probe");
                           return t.lock && t.obstacle == LockObstacle::unreadable && t.place == path
                                      ? 0 : 1;
                         }),
            0);
  EXPECT_EQ(test::read_file(path), "root's own bytes");
}

TEST(SynthLock, AKilledHoldersFileIsTakenBackByTheNext) {
  TempDir dir;
  const pid_t pid = fork();
  if (pid == 0) {
    LockTaking t = SynthLock::try_take_in(dir.path(), kKey, "quave-cli load");
    if (t.lock) kill(getpid(), SIGKILL);
    _exit(1);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  ASSERT_TRUE(WIFSIGNALED(status));
  ASSERT_EQ(files_in(dir.path()), 1u);
  LockTaking next = SynthLock::try_take_in(dir.path(), kKey, "quave-cli probe");
  ASSERT_TRUE(next.lock);
  // The file there now is the new holder's own, with its name.
  EXPECT_EQ(SynthLock::try_take_in(dir.path(), kKey, "quave-cli clear").holder,
            note_of("quave-cli probe"));
  next.lock.reset();
  EXPECT_EQ(files_in(dir.path()), 0u);
}

TEST(SynthLock, ManyTakingsLeaveNoMoreFilesThanAreHeld) {
  TempDir dir;
  std::vector<std::unique_ptr<SynthLock>> held;
  for (int i = 0; i < 200; ++i) {
    const std::string key = "alsa vestrel SOUND " + std::to_string(128 + i) + ":0";
    LockTaking t = SynthLock::try_take_in(dir.path(), key, "quave-cli probe");
    ASSERT_TRUE(t.lock);
    held.push_back(std::move(t.lock));
    // Up to three at once, let go in another order than taken.
    if (held.size() == 3) held.erase(held.begin() + i % 3);
    ASSERT_EQ(files_in(dir.path()), held.size()) << "after " << i + 1;
  }
  held.clear();
  EXPECT_EQ(files_in(dir.path()), 0u);
}

// A waiter that found the holder's file, which the holder then removes as it
// lets go while a third command makes and takes a new one: the waiter's lock
// on the removed file holds nothing, and it must see that.
TEST(SynthLock, TwoTakersNeverHoldAtOnce) {
  TempDir dir;
  LockTaking first = SynthLock::try_take_in(dir.path(), kKey, "quave-cli load");
  ASSERT_TRUE(first.lock);
  LockTaking third;
  bool raced = false;
  LockTaking second = SynthLock::try_take_in(dir.path(), kKey, "quave-cli probe", [&] {
    if (raced) return;
    raced = true;
    first.lock.reset();
    third = SynthLock::try_take_in(dir.path(), kKey, "quave-cli clear");
  });
  ASSERT_TRUE(raced);
  ASSERT_TRUE(third.lock);
  EXPECT_FALSE(second.lock) << "two commands hold one synthesizer";
  EXPECT_EQ(second.holder, note_of("quave-cli clear"));
}

}  // namespace
}  // namespace quave
