// JSON string literals for byte strings such as file names.
#pragma once

#include <string>
#include <string_view>

namespace telltale::cli {

// True when `bytes` is well-formed UTF-8 (no overlong forms, no surrogates).
bool IsValidUtf8(std::string_view bytes);

// Appends `bytes` as a JSON string, quotes included. Well-formed UTF-8 is
// kept as it is; quote, backslash and control characters are escaped; every
// byte that is not part of well-formed UTF-8 becomes \ufffd.
void AppendJsonString(std::string& out, std::string_view bytes);

// Appends `bytes` as lower-case hexadecimal digits, two per byte.
void AppendHex(std::string& out, std::string_view bytes);

}  // namespace telltale::cli
