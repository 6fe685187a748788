// SPDX-License-Identifier: Apache-2.0
// The file a drop names, read from the URI list the drag carries.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace telltale {

// The local file that `uri_list`, a drag's text/uri-list (RFC 2483), names:
// its name's bytes exactly as the system knows them, so that a name that is
// not UTF-8 still opens. The list must hold one URI: lines end with CR LF
// or LF, and empty lines and comments (lines that start with #) are passed
// over. That URI must be a file: URI without a host, or with "localhost",
// and with neither query nor fragment; its path is percent-decoded to bytes
// ("file:///tmp/caf%E9.bin" names /tmp/caf, byte E9, .bin), a % without two
// hexadecimal digits after it stands for itself, and bytes that a well-formed
// URI would have encoded, such as spaces or bytes past 7F, are taken as they
// are. A path that decodes to a NUL byte names no file. Anything else gives
// nothing.
std::optional<std::string> LocalFileOfUriList(std::string_view uri_list);

}  // namespace telltale
