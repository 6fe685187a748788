// SPDX-License-Identifier: Apache-2.0
// UTF-8, which the program uses for every name, to and from the UTF-16 of
// the Win32 calls.
#pragma once

#include <string>
#include <string_view>

namespace telltale {

// Throws std::system_error (EILSEQ, "Illegal byte sequence") named `name`
// when `text` is not valid UTF-8: such a name cannot name a Windows file.
std::wstring WideFromUtf8(std::string_view text, std::string_view name);

// For display only: each byte that is not part of valid UTF-8 becomes U+FFFD.
std::wstring WideForDisplay(std::string_view text);

// A lone surrogate, which Windows allows in names, becomes U+FFFD.
std::string Utf8FromWide(std::wstring_view text);

}  // namespace telltale
