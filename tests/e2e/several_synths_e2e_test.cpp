// Several synthesizers on one server, and several commands for one: each
// command talks to the right synthesizer, and alone.
#include <gtest/gtest.h>

#include "tests/e2e/several_synths.hpp"

namespace quave::test {
namespace {

TEST(SeveralSynthsE2E, EachUnitGoesToItsOwnSynthesizerAndEachNamePicksIt) {
  for (const bool output_first : {false, true}) {
    SCOPED_TRACE(output_first ? "halvane rx output first" : "halvane rx input first");
    MidiRig rig;
    const TwoSynths synths = start_in_crossed_order(rig, RtMidi::UNIX_JACK, output_first);
    expect_each_unit_on_its_own(rig, synths);
    expect_names_pick_each(rig, synths);
  }
}

// Two loads started together: both stored, the second's first request only
// after the first's load was answered.
TEST(SeveralSynthsE2E, TwoLoadsAtOnceGoOneAfterTheOther) {
  TempDir dir;
  MidiRig rig;
  // A late answer holds the first load long enough for the second to wait.
  const int sim = rig.start_sim({"--slots", "osc:2", "--delay", "load:700"});
  expect_two_loads_in_turn(rig, sim, write_unit(dir, kVestrelUnit));
}

// A command waiting for the synthesizer ends on SIGTERM as anywhere; a holder
// killed outright leaves the synthesizer free.
TEST(SeveralSynthsE2E, AWaitEndsOnSigtermAndAKilledHolderHoldsNothing) {
  MidiRig rig;
  expect_wait_ends_and_killed_holder_holds_nothing(rig);
}

}  // namespace
}  // namespace quave::test
