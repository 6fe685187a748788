// SPDX-License-Identifier: Apache-2.0
// How the findings and counts lines show the input they are about.
#pragma once

#include <string>
#include <string_view>

namespace telltale::cli {

struct PathField {
  // The name as QuotedName shows it, for a terminal; otherwise its bytes as
  // given or walked.
  bool quoted = false;
  // What follows the name: ':' or, for names that may hold anything, '\0'.
  char end = ':';

  // What every line about the input `path` starts with.
  [[nodiscard]] std::string LineStart(std::string_view path) const;
};

}  // namespace telltale::cli
