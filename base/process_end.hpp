// How main hands its exit code back to the system.
#pragma once

namespace quave {

// Returns `code` for main to return, or ends the process with it right here
// once everything printed is written out.
int end_process(int code);

}  // namespace quave
