// The command line with every argument in UTF-8, the encoding the rest of
// the program and libzip's file names take. On Windows the C runtime hands
// main the arguments in the ANSI code page, which loses the letters of a
// unit path that the code page lacks.
#pragma once

#include <string>
#include <vector>

namespace quave {

class Utf8Arguments {
 public:
  Utf8Arguments(int argc, char** argv);
  Utf8Arguments(const Utf8Arguments&) = delete;
  Utf8Arguments& operator=(const Utf8Arguments&) = delete;
  int argc() const { return static_cast<int>(strings_.size()); }
  char** argv() { return pointers_.data(); }

 private:
  void point();
  std::vector<std::string> strings_;
  std::vector<char*> pointers_;
};

}  // namespace quave
