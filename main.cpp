#include "cli/commands.hpp"

int main(int argc, char** argv) { return quave::dispatch(argc, argv); }
