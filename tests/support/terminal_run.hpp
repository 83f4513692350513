// A program run on a pseudo-terminal, as from a user's shell: every byte it
// drew there, and the screen those bytes leave.
#pragma once

#include <string>
#include <vector>

namespace quave::test {

struct TerminalRun {
  std::string drawn;   // standard output and standard error, as the terminal got them
  int exit_code = -1;  // -1 when it did not exit normally
  double seconds = 0;
};

// Runs `argv` with `extra_env` added, its three standard streams on one
// pseudo-terminal; SIGKILL once `time_limit_ms` has passed.
TerminalRun run_on_terminal(const std::vector<std::string>& argv, int time_limit_ms,
                            const std::vector<std::string>& extra_env = {});

// The lines `drawn` leaves on a screen wide enough for them: a carriage
// return goes back to the start of the line and what follows overwrites it;
// blanks at the ends of lines do not show, nor does the empty line the
// cursor ends on. Lines end in "\n".
std::string screen_of(const std::string& drawn);

}  // namespace quave::test
