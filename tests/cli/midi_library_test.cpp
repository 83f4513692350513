// The MIDI library is opened only by the device commands, and its absence is
// an ordinary connection failure, not a crash or a refusal to start.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/e2e/device_texts.hpp"
#include "tests/support/process.hpp"

// A namespace of its own: the test files of a program compile together.
namespace quave::test::midi_port_tests {
namespace {

const std::string kExample = source_dir() + "/examples/sawtooth.vstlunit";


TEST(MidiLibrary, CheckNeverLoadsIt) {
  // The loader's own log names every object it maps, linked or opened later.
  const ProcessResult r = run_process({cli_path(), "check", "--unit", kExample}, {"LD_DEBUG=files"});
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_NE(r.err.find("file=libzip"), std::string::npos) << "no loader log to look at";
  for (const char* library : {"rtmidi", "libjack", "libasound"}) {
    EXPECT_EQ(r.err.find(library), std::string::npos) << library << " was mapped by check";
  }
}

struct Case {
  std::vector<std::string> args;
  std::string out;
  std::string err;
};

class WithoutMidiLibrary : public ::testing::TestWithParam<Case> {};

TEST_P(WithoutMidiLibrary, FailsAsIfNoDeviceWereThere) {
  // A file by the library's name that is no library at all stands in for a
  // missing or broken install.
  TempDir dir;
  write_file(dir.file(QUAVE_RTMIDI_SONAME), "not a shared object\n");
  const Case& c = GetParam();
  std::vector<std::string> argv = {cli_path()};
  argv.insert(argv.end(), c.args.begin(), c.args.end());
  const ProcessResult r = run_process(argv, {"LD_LIBRARY_PATH=" + dir.path()});
  EXPECT_EQ(r.out, c.out);
  EXPECT_EQ(r.err, c.err);
  EXPECT_EQ(r.exit_code, 1);

  // Debugging says why, once, ahead of the usual lines.
  argv.push_back("-d");
  const ProcessResult debug = run_process(argv, {"LD_LIBRARY_PATH=" + dir.path()});
  const std::string why = "Could not load the MIDI library: " + dir.file(QUAVE_RTMIDI_SONAME) + ": ";
  EXPECT_EQ(debug.err.rfind(why, 0), 0u) << debug.err;
  EXPECT_EQ(debug.err.find(why, why.size()), std::string::npos) << debug.err;
  EXPECT_NE(debug.err.find(c.err), std::string::npos) << debug.err;
  EXPECT_EQ(debug.exit_code, 1);
}

TEST(MidiLibrary, AListingGoesByDebug) {
  // -l is read before the command's other options; -d must still reach it.
  TempDir dir;
  write_file(dir.file(QUAVE_RTMIDI_SONAME), "not a shared object\n");
  const std::string why = "Could not load the MIDI library: " + dir.file(QUAVE_RTMIDI_SONAME) + ": ";
  for (const char* command : {"probe", "load", "clear"}) {
    SCOPED_TRACE(command);
    for (bool debug : {false, true}) {
      std::vector<std::string> argv = {cli_path(), command, "-l", "-v"};
      if (debug) argv.push_back("-d");
      const ProcessResult r = run_process(argv, {"LD_LIBRARY_PATH=" + dir.path()});
      EXPECT_EQ(r.exit_code, 0);
      EXPECT_NE(r.out.find("Available MIDI inputs:"), std::string::npos) << r.out;
      EXPECT_EQ(r.err.rfind(why, 0) == 0, debug) << r.err;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    DeviceCommands, WithoutMidiLibrary,
    ::testing::Values(
        Case{{"probe"}, "", kNoMatch + kNoPortsFailure},
        Case{{"probe", "-i", "0", "-o", "0"}, "",
             "Error: Could not open quave input port.\n" + kNoPortsFailure},
        Case{{"load", "-u", kExample},
             "> Parsing vestrel unit archive\n> Parsing manifest\n"
             "> Parsing unit binary payload\n> Handshaking...\n",
             kNoMatch + "Error: " + kNoPortsFailure},
        Case{{"clear", "-m", "osc", "-a"}, "> Handshaking...\n", kNoMatch + "Error: " + kNoPortsFailure}));

// Where the user installs the library by hand (the portable program) and no
// file of it is there at all, each device command says so in one line, on
// standard error, and touches no port; check does not care.
const std::string kMissing =
    "Error: The MIDI library is missing: install RtMidi 5 or later (librtmidi7 or librtmidi6 "
    "on Debian and Ubuntu, rtmidi on Fedora and Arch).\n";
const std::string kParsed =
    "> Parsing vestrel unit archive\n> Parsing manifest\n> Parsing unit binary payload\n";

struct AbsentCase {
  std::vector<std::string> args;
  std::string out;
  std::string err;
  int exit_code;
};

class LibraryAbsent : public ::testing::TestWithParam<AbsentCase> {};

TEST_P(LibraryAbsent, SaysWhatToInstall) {
  const AbsentCase& c = GetParam();
  std::vector<std::string> argv = {QUAVE_CLI_LIBRARY_ABSENT_PATH};
  argv.insert(argv.end(), c.args.begin(), c.args.end());
  const ProcessResult r = run_process(argv);
  EXPECT_EQ(r.out, c.out);
  EXPECT_EQ(r.err, c.err);
  EXPECT_EQ(r.exit_code, c.exit_code);
}

INSTANTIATE_TEST_SUITE_P(
    Commands, LibraryAbsent,
    ::testing::Values(AbsentCase{{"probe"}, "", kMissing, 1},
                      AbsentCase{{"probe", "-l"}, "", kMissing, 1},
                      AbsentCase{{"probe", "-d", "-v"}, "", kMissing, 1},
                      AbsentCase{{"probe", "-m", "osc", "-i", "0", "-o", "1"}, "", kMissing, 1},
                      AbsentCase{{"load", "-u", kExample, "-s", "1"}, kParsed, kMissing, 1},
                      AbsentCase{{"load", "-l"}, "", kMissing, 1},
                      AbsentCase{{"clear", "-m", "osc", "-a"}, "", kMissing, 1},
                      AbsentCase{{"clear", "-l"}, "", kMissing, 1},
                      AbsentCase{{"check", "-u", kExample}, kParsed + "> Looks okay.\n", "", 0}));

}  // namespace
}  // namespace quave::test::midi_port_tests
