// What the four commands share: the parse, the parse-error report, --help and
// --version.
#pragma once

#include <boost/program_options.hpp>
#include <optional>
#include <string>

namespace quave {

namespace po = boost::program_options;

// Parses the whole command line against `table` (Unix style, undeclared
// options and loose words ignored) into `vm`. Returns the exit code when the
// command is finished (parse error 1, help 0, version 0), nothing when the
// command's own steps should follow.
std::optional<int> run_skeleton(int argc, char** argv, const po::options_description& table,
                                const std::string& usage, po::variables_map& vm);

}  // namespace quave
