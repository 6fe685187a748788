// SPDX-License-Identifier: Apache-2.0
#include "cli/error_messages.h"

#include "telltale/quoted_name.h"

namespace telltale::cli {

std::string MessageLine(std::string_view message) {
  std::string line = "telltale-scan: ";
  line += message;
  line += '\n';
  return line;
}

std::string FailureDescription(std::string_view name, const std::system_error& error) {
  const std::string_view what = error.what();
  if (what.starts_with(name) && what.substr(name.size()).starts_with(": ")) {
    return std::string(what.substr(name.size() + 2));
  }
  return error.code().message();
}

std::string FailureMessage(std::string_view name, const std::system_error& error) {
  return QuotedName(name) + ": " + FailureDescription(name, error);
}

}  // namespace telltale::cli
