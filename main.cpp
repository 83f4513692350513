#include "base/arguments.hpp"
#include "base/process_end.hpp"
#include "cli/commands.hpp"

int main(int argc, char** argv) {
  int code = 0;
  {
    quave::Utf8Arguments arguments(argc, argv);
    code = quave::dispatch(arguments.argc(), arguments.argv());
  }
  return quave::end_process(code);
}
