// Writing all of a text to a descriptor.
#pragma once

#include <string_view>

namespace telltale::cli {

// Writes every byte of `text`, retrying on EINTR and short writes and waiting
// for room on a descriptor left non-blocking by whoever started us. Returns 0,
// or the errno of the failure.
int WriteAll(int fd, std::string_view text);

}  // namespace telltale::cli
