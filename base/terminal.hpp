// Whether the program's output goes to a person at a terminal.
#pragma once

namespace quave {

bool stderr_is_terminal();

}  // namespace quave
