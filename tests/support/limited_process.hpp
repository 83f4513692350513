// Runs a program with a time limit and reports how long it took and how much
// memory it held at its peak: for inputs built to make it hang or balloon.
#pragma once

#include <string>
#include <vector>

#include "tests/support/process.hpp"

namespace quave::test {

struct LimitedResult {
  ProcessResult run;          // exit_code -1 when killed or ended by a signal
  bool timed_out = false;     // killed at the time limit
  int signal = 0;             // the signal that ended it, 0 if it exited
  long peak_rss_kib = 0;      // the child's maximum resident set
  double seconds = 0;         // wall time
};

// A signal sent to the program `after_ms` after it started, as a user's
// Ctrl-C would be; none when `signal` is 0.
struct TimedSignal {
  int signal = 0;
  int after_ms = 0;
};

// Like run_process, but sends SIGKILL once `time_limit_ms` has passed, and
// stops reading two seconds later even when a process the program started
// still holds its output open.
LimitedResult run_limited(const std::vector<std::string>& argv, int time_limit_ms,
                          const std::vector<std::string>& extra_env = {},
                          TimedSignal timed_signal = {});

// Whether the programs under test carry a sanitizer runtime, which multiplies
// their memory use and slows them down.
// GCC says so with its own macros, clang through __has_feature.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define QUAVE_SANITIZED_BUILD 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define QUAVE_SANITIZED_BUILD 1
#endif
#endif
constexpr bool kSanitizedBuild =
#ifdef QUAVE_SANITIZED_BUILD
    true;
#else
    false;
#endif

// Whether the programs under test run under a user-mode emulator (a cross
// build's tests), which runs them tens of times slower.
constexpr bool kEmulatedBuild =
#ifdef QUAVE_EMULATED_TESTS
    true;
#else
    false;
#endif

}  // namespace quave::test
