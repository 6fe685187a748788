// SPDX-License-Identifier: Apache-2.0
#include "telltale/platform/system_error.h"

#include <string>

namespace telltale {

void ThrowSystemError(std::error_code code, std::string_view name) {
  // what() is a C string, so a NUL in the name is shown as \0 rather than
  // cutting the message short.
  std::string shown = name.empty() ? std::string("(no file name)") : std::string();
  for (const char c : name) {
    shown += c == '\0' ? std::string_view("\\0") : std::string_view(&c, 1);
  }
  throw std::system_error(code, shown);
}

void ThrowErrno(int errno_value, std::string_view name) {
  ThrowSystemError(std::error_code(errno_value, std::generic_category()), name);
}

}  // namespace telltale
