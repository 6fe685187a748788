// SPDX-License-Identifier: Apache-2.0
// Win32 error numbers as the errno conditions the scan reports on every
// system, so that a missing file reads "No such file or directory" with
// errno 2 on Windows as on Linux.
#pragma once

#include <string_view>
#include <system_error>

namespace telltale {

// The std::generic_category code of a Win32 error (GetLastError()), or the
// Win32 error itself in std::system_category where no errno says the same.
std::error_code Win32ErrorCode(unsigned long error);

// Throw std::system_error whose what() reads "<path>: <description>".
[[noreturn]] void ThrowWin32Error(unsigned long error, std::string_view path);
[[noreturn]] void ThrowLastWin32Error(std::string_view path);

}  // namespace telltale
