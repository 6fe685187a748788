// SPDX-License-Identifier: Apache-2.0
// Failures of the system's services, named after what they concern. Every
// failure is a std::system_error: code() gives the number and its message()
// the description, what() adds the name.
#pragma once

#include <string_view>
#include <system_error>

namespace telltale {

// Throws a std::system_error whose what() reads "<name>: <description>".
[[noreturn]] void ThrowSystemError(std::error_code code, std::string_view name);
[[noreturn]] void ThrowErrno(int errno_value, std::string_view name);

}  // namespace telltale
