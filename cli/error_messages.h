// SPDX-License-Identifier: Apache-2.0
// What telltale-scan says on standard error, and how a failure is described.
#pragma once

#include <string>
#include <string_view>
#include <system_error>

namespace telltale::cli {

// "telltale-scan: <message>\n", for standard error.
std::string MessageLine(std::string_view message);

// What `error`, a failure of the input `name`, says of it: its what() after
// the name it starts with ("name 3 is longer than 4096 bytes: File name too
// long" for a list), or else the description of its code.
std::string FailureDescription(std::string_view name, const std::system_error& error);

// The same on standard error, after the name quoted as QuotedName does.
std::string FailureMessage(std::string_view name, const std::system_error& error);

}  // namespace telltale::cli
