// The lock that keeps a second command off a synthesizer: one holder at a
// time, what it left for a waiter, and nothing held once it is gone.
#include <gtest/gtest.h>
#include <unistd.h>

#include "device/midi/system/synth_lock.hpp"

namespace quave {
namespace {

TEST(SynthLock, OneHolderAtATime) {
  const std::string key = "jack test-" + std::to_string(getpid()) + " vestrel SOUND";
  std::string holder;
  std::unique_ptr<SynthLock> first = SynthLock::try_take(key, "quave-cli load", holder);
  ASSERT_TRUE(first);
  EXPECT_FALSE(SynthLock::try_take(key, "quave-cli probe", holder));
  EXPECT_EQ(holder, "quave-cli load (process " + std::to_string(getpid()) + ")");
  // Another synthesizer is free meanwhile.
  EXPECT_TRUE(SynthLock::try_take(key + "2", "quave-cli probe", holder));
  first.reset();
  EXPECT_TRUE(SynthLock::try_take(key, "quave-cli probe", holder));
}

TEST(SynthLock, NamesKeepKeysApart) {
  EXPECT_NE(lock_name("alsa vestrel SOUND"), lock_name("alsa vestrel_SOUND"));
  EXPECT_EQ(lock_name("alsa a/b"), lock_name("alsa a/b"));
  EXPECT_EQ(lock_name("jack x:vestrel SOUND").find('/'), std::string::npos);
  EXPECT_LE(lock_name(std::string(500, 'x')).size(), 130u);
}

}  // namespace
}  // namespace quave
