#include "cli/skeleton.hpp"

#include <exception>
#include <sstream>

#include "base/console.hpp"
#include "cli/commands.hpp"

namespace quave {

namespace {

// The option table as the library lays it out.
std::string table_text(const po::options_description& table) {
  std::ostringstream text;
  text << table;
  return text.str();
}

}  // namespace

std::optional<int> run_skeleton(int argc, char** argv, const po::options_description& table,
                                const std::string& usage, po::variables_map& vm) {
  try {
    auto parsed = po::command_line_parser(argc, argv)
                      .options(table)
                      .style(po::command_line_style::unix_style)
                      .allow_unregistered()
                      .run();
    po::store(parsed, vm);
    po::notify(vm);
  } catch (const std::exception& e) {
    err_text(std::string("Error: ") + e.what() + "\n\n" + usage + "\n\n" + table_text(table) + "\n");
    return 1;
  }
  if (vm.count("help")) {
    out_text("\n" + usage + "\n\n" + table_text(table) + "\n");
    return 0;
  }
  if (vm.count("version")) {
    out_text(version_banner() + "\n\n");
    return 0;
  }
  return std::nullopt;
}

std::optional<int> run_covered(const std::function<std::optional<int>()>& stretch,
                               const std::string& unknown_text) {
  try {
    return stretch();
  } catch (const std::exception& e) {
    err_line(std::string("Error: ") + e.what());
  } catch (...) {
    err_text(unknown_text);
  }
  return 1;
}

}  // namespace quave
