#include "device/backend_problems.hpp"

namespace quave {

// The Windows multimedia API always opens; an empty list is just that.
std::vector<std::string> backend_problems(const std::vector<int>&) { return {}; }

}  // namespace quave
