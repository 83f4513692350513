// The command-line front end: the dispatcher and the four command handlers.
// Each handler takes the whole command line (program name and command word
// included) and returns the process exit code, 0 or 1.
#pragma once

#include <string>

namespace quave {

int dispatch(int argc, char** argv);

int check(int argc, char** argv);
int probe(int argc, char** argv);
int load(int argc, char** argv);
int clear(int argc, char** argv);

// "Version: " + the version ("%u.%02u-%u") + "b API: " + the unit API
// version (1.01-0), without a line end.
std::string version_banner();

// The global usage text written after a failed dispatch.
std::string global_usage();

}  // namespace quave
