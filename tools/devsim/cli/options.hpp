// The simulator's command line.
#pragma once

#include <string>
#include <vector>

#include "tools/devsim/model/sim_config.hpp"

namespace devsim {

struct CommandLine {
  SimConfig config;
  bool help = false;
  std::string help_text;
  std::vector<std::string> warnings;
};

// Throws std::exception with a message for the user when an option or its
// value is wrong.
CommandLine parse_command_line(const std::vector<std::string>& args);

}  // namespace devsim
