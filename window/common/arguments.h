// SPDX-License-Identifier: Apache-2.0
// What `telltale` is asked to do by its command line.
#pragma once

#include <optional>
#include <string>

namespace telltale {

struct Arguments {
  enum class Action { kOpen, kHelp, kVersion, kRefuse };
  Action action = Action::kOpen;
  // kOpen: the file to scan as the window opens, its name's bytes exactly as
  // given, so that a name that is not UTF-8 still opens.
  std::optional<std::string> file;
  std::string refusal;  // kRefuse: why
};

// `telltale [-h | --help | --help-all | -v | --version | [--] FILE]`.
Arguments ParseArguments(int argc, const char* const argv[]);

// The text of --help.
const char* ArgumentsHelp();

}  // namespace telltale
