// SPDX-License-Identifier: Apache-2.0
// Names made safe to show on a terminal. File names and words of the command
// line are bytes from outside: printed raw, an escape sequence in one could
// move the cursor and rewrite lines printed before it. Used by telltale-scan
// and by the window program's command line.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace telltale {

// The length of the well-formed UTF-8 sequence that starts at `bytes[i]`,
// or 0 when none does (no overlong forms, no surrogates).
std::size_t Utf8SequenceLength(std::string_view bytes, std::size_t i);

// `name` as it is when it can be shown as it is: not empty, well-formed
// UTF-8 without control characters (C0, DEL and C1) and without a single
// quote. Otherwise the whole name is quoted as bash, ksh and zsh read it
// back: printable runs between single quotes, control characters and bytes
// that are not UTF-8 as $'...' escapes (\t, \n, \r or three octal digits),
// a single quote as \':
//   b ESC [1A CR  ->  'b'$'\033''[1A'$'\r'
//   it's          ->  'it'\''s'
// So a name shown with a single quote at its start is always a quoted one.
std::string QuotedName(std::string_view name);

// `word` quoted the same way even when it needs no escape, so that it reads
// apart from the message around it: '--bogus', $'\001'.
std::string QuotedWord(std::string_view word);

}  // namespace telltale
