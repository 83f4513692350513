#include <io.h>

#include "base/terminal.hpp"

namespace quave {

bool stderr_is_terminal() { return _isatty(2) != 0; }

}  // namespace quave
