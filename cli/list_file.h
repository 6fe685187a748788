// SPDX-License-Identifier: Apache-2.0
// Opening the file that --files-from names.
#pragma once

#include <cstddef>
#include <string>

namespace telltale::cli {

// The longest name a list may hold, in bytes: that of the longest path the
// system takes. A longer one cannot name a file.
extern const std::size_t kLongestListedName;

// Opens `path` for reading, whatever kind of file it is, and returns its
// descriptor; a named pipe waits for its writer. Throws std::system_error
// named `shown`.
int OpenListFile(const std::string& path, const std::string& shown);

// Whether opening `path` may wait for a writer: a named pipe on POSIX
// systems. Never on Windows, where opening a pipe no writer serves fails.
bool OpeningWaitsForWriter(const std::string& path);

}  // namespace telltale::cli
