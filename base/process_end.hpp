// How the process ends: with main's exit code, or as an interruption.
#pragma once

namespace quave {

// Returns `code` for main to return, or ends the process with it right here
// once everything printed is written out.
int end_process(int code);

// Ends the process, output written, as `signal` (SIGINT, SIGTERM; on
// Windows the console's Ctrl-C, Ctrl-Break and close) would have ended it
// without us.
[[noreturn]] void end_by_signal(int signal);

}  // namespace quave
