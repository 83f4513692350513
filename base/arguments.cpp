#include "base/arguments.hpp"

namespace quave {

void Utf8Arguments::point() {
  pointers_.clear();
  for (std::string& s : strings_) pointers_.push_back(s.data());
  pointers_.push_back(nullptr);
}

}  // namespace quave
