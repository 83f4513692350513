#include "base/arguments.hpp"
#include "cli/commands.hpp"

int main(int argc, char** argv) {
  quave::Utf8Arguments arguments(argc, argv);
  return quave::dispatch(arguments.argc(), arguments.argv());
}
