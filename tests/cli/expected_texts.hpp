// What the command line prints, written out in full for the tests to compare.
#pragma once

#include <string>

namespace quave::test {

inline const std::string kGlobalUsage =
    "\n"
    "Usage: quave-cli <command> [options]\n"
    "\n"
    "Commands:\n"
    "\n"
    "  check: Validate unit packaging.\n"
    "  probe: Obtain information about a connected quave-sdk compatible device.\n"
    "   load: Load specified unit onto a connected quave-sdk compatible device.\n"
    "  clear: Clear unit data from a connected quave-sdk compatible device.\n"
    "\n"
    "Use -h/--help along with a command to obtain detailed usage information.\n"
    "\n";

inline const std::string kBanner = "Version: 0.07-2b API: 1.01-0\n\n";

// The lines check prints for a vestrel package.
inline const std::string kArchiveLine = "> Parsing vestrel unit archive\n";
inline const std::string kAllSteps = kArchiveLine +
                                     "> Parsing manifest\n"
                                     "> Parsing unit binary payload\n";

inline const std::string kCheckUsage = "Usage: quave-cli check <options>";

inline const std::string kCheckTable =
    "Check Command Options:\n"
    "  -h [ --help ]         Display usage help.\n"
    "  -u [ --unit ] arg     Path to unit to check. Must be path to unit package \n"
    "                        directory.\n"
    "  -V [ --version ]      Display version information.\n";

inline const std::string kCheckHelp = "\n" + kCheckUsage + "\n\n" + kCheckTable + "\n";

inline std::string check_parse_error(const std::string& message) {
  return "Error: " + message + "\n\n" + kCheckUsage + "\n\n" + kCheckTable + "\n";
}

}  // namespace quave::test
