// SPDX-License-Identifier: Apache-2.0
// A Run that could not be completed, and the words the user is told it in.
#pragma once

#include <string>
#include <system_error>

namespace telltale {

struct RunFailure {
  // The failure of the Run of `path` with `code`; the description is the
  // code's message without the line end and full stop some systems add, and
  // "Operation canceled" for a cancel on every system.
  static RunFailure Of(std::string path, const std::error_code& code);

  std::string path;         // as it was given: the name's bytes, UTF-8 where valid
  int number = 0;           // the error code's value
  std::string description;  // the error code's message

  // What the results box reads afterwards, so that it never claims a result
  // for a file that was not scanned: "Could not scan PATH: DESCRIPTION".
  [[nodiscard]] std::string ResultsText() const;

  // The message box: its title, its text ("Could not scan PATH.") and the
  // detail under it ("Error NUMBER: DESCRIPTION.").
  [[nodiscard]] static std::string BoxTitle();
  [[nodiscard]] std::string BoxText() const;
  [[nodiscard]] std::string BoxDetail() const;
};

}  // namespace telltale
