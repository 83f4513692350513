#include "base/process_end.hpp"

namespace quave {

int end_process(int code) { return code; }

}  // namespace quave
