// SPDX-License-Identifier: Apache-2.0
// Paths of any length for the Win32 file calls. Without the \\?\ prefix they
// take at most 260 characters (MAX_PATH) unless the program and the system
// both allow longer ones; with it, up to 32767, but taken literally: no
// current folder, no "." or "..", no "/" for "\".
#pragma once

#include <string>
#include <string_view>

namespace telltale {

// `path` in the \\?\ form, for the calls only (names shown stay as the user
// gave them): made absolute and resolved as the system resolves any path
// (GetFullPathNameW), then "\\?\C:\..." for a drive's path and
// "\\?\UNC\server\share\..." for "\\server\share\...". A path in that form
// already, or in the NT form "\??\...", is taken as it is; a device's path
// ("\\.\pipe\name", "NUL") stays the device's. Empty stays empty, for the
// call to refuse. Throws std::system_error named `name`: EINVAL for a NUL
// character, which would end the path early, or the system's failure.
std::wstring ExtendedLengthPath(std::wstring_view path, std::string_view name);

// The same for a UTF-8 path; EILSEQ when it is not UTF-8.
std::wstring ExtendedLengthPathOfUtf8(std::string_view path, std::string_view name);

// Whether the UTF-8 `path`, of any length, names a folder; false as well
// when it names nothing or cannot be a Windows path.
bool IsFolderPath(std::string_view path);

}  // namespace telltale
