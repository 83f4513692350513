// What each JACK server carries, told by libjack's version string.
#include <gtest/gtest.h>

#include "device/midi/system/jack_server.hpp"

namespace quave {
namespace {

TEST(JackServer, TheVersionStringSaysWhatItCarries) {
  struct Row {
    const char* version_string;
    const char* name;
    size_t largest_event;
    bool continuations;
  };
  const Row rows[] = {
      {"1.9.21", "jackd2 1.9.21", 32720, true},
      {"1.9.22", "jackd2 1.9.22", 32720, true},
      {"3.0.0.0 (using PipeWire 0.3.65)", "PipeWire 0.3.65", 32735, true},
      {"3.1.2.7 (using PipeWire 1.2.7)", "PipeWire 1.2.7", 32735, true},
      // MIDI 2.0 packets in the graph from the 1.4 series' candidates on.
      {"3.1.3.81 (using PipeWire 1.3.81)", "PipeWire 1.3.81", 8186, false},
      {"3.1.4.2 (using PipeWire 1.4.2)", "PipeWire 1.4.2", 8186, false},
      {"3.2.0.0 (using PipeWire 2.0.0)", "PipeWire 2.0.0", 8186, false},
  };
  for (const Row& row : rows) {
    const JackServer server = jack_server_from(row.version_string);
    EXPECT_EQ(server.name, row.name);
    EXPECT_EQ(server.largest_event, row.largest_event) << row.name;
    EXPECT_EQ(server.carries_continuations, row.continuations) << row.name;
    EXPECT_EQ(server.pipewire, std::string(row.name).rfind("PipeWire", 0) == 0) << row.name;
  }
}

}  // namespace
}  // namespace quave
