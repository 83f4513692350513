// What the four commands share: the parse, the parse-error report, --help and
// --version.
#pragma once

#include <boost/program_options.hpp>
#include <functional>
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

// What a command writes when something other than a standard exception
// escapes its covered stretch; probe has a text of its own.
inline const std::string kUnknownExceptionText = "Error: An unknown exception occurred.\n";

// Runs the stretch of a command that the command itself covers: an
// exception that escapes it is written ("Error: " and its message, or
// `unknown_text`) and ends the command with 1. Returns the stretch's exit
// code when it finished the command, nothing when the command goes on.
std::optional<int> run_covered(const std::function<std::optional<int>()>& stretch,
                               const std::string& unknown_text = kUnknownExceptionText);

}  // namespace quave
