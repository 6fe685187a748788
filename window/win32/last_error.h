// SPDX-License-Identifier: Apache-2.0
// The failure of a Win32 call, as the exception every failure is.
#pragma once

#include <windows.h>

#include <system_error>

namespace telltale::win32 {

// Throws std::system_error with GetLastError() and `what` the call failed to do.
[[noreturn]] inline void ThrowLastError(const char* what) {
  throw std::system_error(static_cast<int>(GetLastError()), std::system_category(), what);
}

}  // namespace telltale::win32
