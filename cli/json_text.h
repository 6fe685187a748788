// SPDX-License-Identifier: Apache-2.0
// Pieces of JSON text: strings from bytes such as file names, numbers, and
// counts by tool.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "telltale/telltale.h"

namespace telltale::cli {

// True when `bytes` is well-formed UTF-8.
bool IsValidUtf8(std::string_view bytes);

// Appends `bytes` as a JSON string, quotes included. Well-formed UTF-8 is
// kept as it is; quote and backslash are escaped, and so are the C0 and C1
// control characters, DEL, U+2028 and U+2029 (as \u0085, \u2028), so that
// the text holds none of them raw; every byte that is not part of
// well-formed UTF-8 becomes \ufffd.
void AppendJsonString(std::string& out, std::string_view bytes);

// Appends `bytes` as lower-case hexadecimal digits, two per byte.
void AppendHex(std::string& out, std::string_view bytes);

void AppendNumber(std::string& out, std::uint64_t number);

// Appends {"JPHide":N,"Hiderman":N}: a member per rule, in table order.
void AppendToolCounts(std::string& out, const FindingCounts& counts);

}  // namespace telltale::cli
