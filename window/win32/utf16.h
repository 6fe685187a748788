// Conversions between the UTF-8 the detection library and the layout table
// speak and the UTF-16 of the Win32 calls.
#pragma once

#include <string>
#include <string_view>

namespace telltale::win32 {

// Bytes that are not UTF-8 become U+FFFD.
std::wstring ToUtf16(std::string_view utf8);

// A lone surrogate becomes U+FFFD.
std::string ToUtf8(std::wstring_view utf16);

}  // namespace telltale::win32
