#include "cli/skeleton.hpp"

#include <exception>
#include <iostream>

#include "base/console.hpp"
#include "cli/commands.hpp"

namespace quave {

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
    std::cerr << "Error: " << e.what() << std::endl
              << std::endl
              << usage << std::endl
              << std::endl
              << table << std::endl;
    return 1;
  }
  if (vm.count("help")) {
    std::cout << std::endl << usage << std::endl << std::endl << table << std::endl;
    return 0;
  }
  if (vm.count("version")) {
    std::cout << version_banner() << std::endl << std::endl;
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
