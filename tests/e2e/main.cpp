// The end-to-end tests run inside their own JACK sandbox (see
// scripts/jack-sandbox): each test process gets a /dev/shm of its own.
#include <gtest/gtest.h>

#include "tests/support/midi_rig.hpp"

int main(int argc, char** argv) {
  quave::test::enter_jack_sandbox(argc, argv);
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
