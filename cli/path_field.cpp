// SPDX-License-Identifier: Apache-2.0
#include "cli/path_field.h"

#include "telltale/quoted_name.h"

namespace telltale::cli {

std::string PathField::LineStart(std::string_view path) const {
  std::string start = quoted ? QuotedName(path) : std::string(path);
  start += end;
  return start;
}

}  // namespace telltale::cli
