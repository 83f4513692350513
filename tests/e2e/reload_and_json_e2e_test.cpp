// probe --json against three simulators, and load -r, on a private JACK
// server.
#include <gtest/gtest.h>

#include "tests/e2e/reload_and_json.hpp"

namespace quave::test {
namespace {

TEST(ReloadAndJsonE2E, JsonIsWhatTheSimulatorsHoldAndAReloadKeepsItsSlot) {
  MidiRig rig;
  expect_reload_and_json(rig, RtMidi::UNIX_JACK);
}

}  // namespace
}  // namespace quave::test
