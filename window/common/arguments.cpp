// SPDX-License-Identifier: Apache-2.0
#include "window/common/arguments.h"

#include <string_view>

#include "telltale/quoted_name.h"

namespace telltale {
namespace {

Arguments Refuse(std::string why) {
  return Arguments{Arguments::Action::kRefuse, std::nullopt, std::move(why)};
}

}  // namespace

Arguments ParseArguments(int argc, const char* const argv[]) {
  Arguments arguments;
  bool options_ended = false;
  for (int i = 1; i < argc; ++i) {
    const std::string_view argument = argv[i];
    if (!options_ended && argument == "--") {
      options_ended = true;
    } else if (!options_ended && argument.size() > 1 && argument.front() == '-') {
      if (argument == "-h" || argument == "--help" || argument == "--help-all") {
        arguments.action = Arguments::Action::kHelp;
      } else if (argument == "-v" || argument == "--version") {
        arguments.action = Arguments::Action::kVersion;
      } else {
        // Quoted as a shell reads it back: an escape sequence in it must not
        // reach the terminal.
        return Refuse("unknown option " + QuotedWord(argument));
      }
    } else if (arguments.file) {
      return Refuse("takes one file at most");
    } else {
      arguments.file = std::string(argument);
    }
  }
  return arguments;
}

const char* ArgumentsHelp() {
  return "Usage: telltale [FILE]\n"
         "Checks a file for traces of the steganography tools JPHide and Hiderman.\n"
         "Press Run to choose the file, drop it on the window, or name it here: the window\n"
         "then scans it at once.\n"
         "\n"
         "  -h, --help     show this help and exit\n"
         "  -v, --version  show the version and exit\n"
         "\n"
         "For many files at once, see telltale-scan(1).\n";
}

}  // namespace telltale
