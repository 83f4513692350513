// Which file of the MIDI library opens, and, when none does, whether any of
// them was there at all: only then does a device command say that the
// library is missing.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "device/midi/system/midi_library.hpp"
#include "tests/support/process.hpp"

namespace quave::test::midi_library_open_tests {
namespace {

TEST(MidiLibraryOpen, TakesTheFirstNameThatOpensAndTellsMissingFromRefused) {
  TempDir dir;
  const std::string broken = dir.file("librtmidi.so.7");
  write_file(broken, "not a shared object\n");
  const std::string absent = "libquave-absent.so.7";
  const std::string absent_path = dir.file("librtmidi.so.6");
  const std::string no_such = ": cannot open shared object file: No such file or directory";
  struct Row {
    const char* what;
    std::vector<std::string> names;
    bool opens;
    bool missing;
    // What the reason given holds.
    std::string why;
  };
  const Row rows[] = {
      {"no file of any name", {absent, absent_path}, false, true, absent + no_such},
      {"the later names only when the first is absent", {absent, QUAVE_RTMIDI_SONAME}, true, false, ""},
      {"a file that is no library is there, refused", {broken}, false, false, broken + ": "},
      {"the reason of the one found, not of the absent ones", {absent, broken, absent_path}, false,
       false, broken + ": "},
      {"a library without the functions is refused", {"libc.so.6"}, false, false,
       "libc.so.6: undefined symbol: rtmidi_get_compiled_api"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    LibraryFailure failure{"stale", true};
    const MidiLibrary* library = open_midi_library(row.names, failure);
    EXPECT_EQ(library != nullptr, row.opens);
    EXPECT_EQ(failure.missing, row.missing);
    if (row.opens) {
      EXPECT_EQ(failure.why, "");
      ASSERT_NE(library, nullptr);
      EXPECT_NE(library->get_port_name, nullptr);
      EXPECT_NE(library->close_port, nullptr);
    } else {
      EXPECT_NE(failure.why.find(row.why), std::string::npos) << failure.why;
      EXPECT_EQ(failure.why.find(no_such) != std::string::npos, row.missing) << failure.why;
    }
  }
}

}  // namespace
}  // namespace quave::test::midi_library_open_tests
