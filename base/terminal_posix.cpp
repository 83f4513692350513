#include <unistd.h>

#include "base/terminal.hpp"

namespace quave {

bool stderr_is_terminal() { return isatty(STDERR_FILENO) == 1; }

}  // namespace quave
