// Opening the file that --files-from names.
#pragma once

#include <string>

namespace telltale::cli {

// Opens `path` for reading, whatever kind of file it is, and returns its
// descriptor; a named pipe waits for its writer. Throws std::system_error
// named `shown`.
int OpenListFile(const std::string& path, const std::string& shown);

}  // namespace telltale::cli
