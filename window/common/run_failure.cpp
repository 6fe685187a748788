// SPDX-License-Identifier: Apache-2.0
#include "window/common/run_failure.h"

#include <utility>

namespace telltale {

RunFailure RunFailure::Of(std::string path, const std::error_code& code) {
  // Linux's words for a cancel, which the Windows C runtime has none for.
  std::string description =
      code == std::errc::operation_canceled ? "Operation canceled" : code.message();
  // Windows' system messages end with ".\r\n"; the texts add their own stop.
  while (!description.empty() && (description.back() == '\n' || description.back() == '\r' ||
                                  description.back() == '.' || description.back() == ' ')) {
    description.pop_back();
  }
  return RunFailure{std::move(path), code.value(), std::move(description)};
}

std::string RunFailure::ResultsText() const {
  return "Could not scan " + path + ": " + description;
}

std::string RunFailure::BoxTitle() { return "Telltale"; }

std::string RunFailure::BoxText() const { return "Could not scan " + path + "."; }

std::string RunFailure::BoxDetail() const {
  return "Error " + std::to_string(number) + ": " + description + ".";
}

}  // namespace telltale
