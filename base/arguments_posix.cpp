#include "base/arguments.hpp"

namespace quave {

// The bytes as the shell gave them: file names are bytes here.
Utf8Arguments::Utf8Arguments(int argc, char** argv) : strings_(argv, argv + argc) { point(); }

}  // namespace quave
