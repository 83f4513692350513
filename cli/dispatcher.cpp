#include <algorithm>
#include <boost/program_options.hpp>
#include <cstring>
#include <exception>
#include <string>

#include "base/console.hpp"
#include "base/interrupt.hpp"
#include "base/process_end.hpp"
#include "base/version.hpp"
#include "base/version_text.hpp"
#include "cli/commands.hpp"

namespace quave {

namespace po = boost::program_options;

namespace {

struct CommandEntry {
  const char* word;
  const char* summary;  // its line in the global usage text
  int (*handler)(int, char**);
};

const CommandEntry kCommands[] = {
    {"check", "Validate unit packaging.", check},
    {"probe", "Obtain information about a connected quave-sdk compatible device.", probe},
    {"load", "Load specified unit onto a connected quave-sdk compatible device.", load},
    {"clear", "Clear unit data from a connected quave-sdk compatible device.", clear},
};

int dispatch_inner(int argc, char** argv) {
  po::options_description global("Global Options");
  global.add_options()("command", po::value<std::string>(), "command to execute");
  po::positional_options_description positional;
  positional.add("command", 1).add("rest", -1);

  po::variables_map vm;
  // Whatever fails here is ignored: "rest" is not declared, so storing stops
  // with an error after "command" has already been stored.
  try {
    po::store(po::command_line_parser(argc, argv)
                  .options(global)
                  .positional(positional)
                  .style(po::command_line_style::unix_style)
                  .allow_unregistered()
                  .run(),
              vm);
    po::notify(vm);
  } catch (const std::exception&) {
  }

  if (vm.count("command")) {
    const std::string word = vm["command"].as<std::string>();
    for (const auto& entry : kCommands) {
      if (word == entry.word) return entry.handler(argc, argv);
    }
  }
  out_text(global_usage());
  return 1;
}

}  // namespace

std::string version_banner() {
  return "Version: " + format_api_version(kVersionMajor, kVersionMinor, kVersionPatch) +
         kVersionSuffix + " API: " + format_api_version(kUnitApiMajor, kUnitApiMinor, kUnitApiPatch);
}

std::string global_usage() {
  size_t width = 0;
  for (const auto& entry : kCommands) width = std::max(width, std::strlen(entry.word));
  std::string text = "\nUsage: quave-cli <command> [options]\n\nCommands:\n\n";
  // The words right-aligned, two blanks before the longest.
  for (const auto& entry : kCommands) {
    text += std::string(2 + width - std::strlen(entry.word), ' ') + entry.word + ": " +
            entry.summary + "\n";
  }
  return text + "\nUse -h/--help along with a command to obtain detailed usage information.\n\n";
}

int dispatch(int argc, char** argv) {
  try {
    const int code = dispatch_inner(argc, argv);
    // A signal that came after the command's last wait still ends the program.
    if (const int signal = interrupt_signal()) end_by_signal(signal);
    return code;
  } catch (const Interrupted& interrupted) {
    end_by_signal(interrupted.signal);
  } catch (const std::exception& e) {
    err_text(std::string("Error: ") + e.what() + "\n\n");
    out_text(global_usage());
    return 1;
  } catch (...) {
    // Spelt as scripts match it; do not correct.
    err_text("Unknow exception!\n\n");
    out_text(global_usage());
    return 1;
  }
}

}  // namespace quave
