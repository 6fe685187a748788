// SPDX-License-Identifier: Apache-2.0
#include "cli/path_list.h"

#include <unistd.h>

#include <string_view>
#include <system_error>
#include <utility>

#include "cli/list_file.h"
#include "telltale/platform/descriptor_io.h"
#include "telltale/quoted_name.h"

namespace telltale::cli {

PathList::PathList(const std::string& path, char separator)
    : fd_(path == "-" ? STDIN_FILENO : -1),
      owned_(path != "-"),
      separator_(separator),
      name_(owned_ ? path : "(standard input)") {
  // Opened now, so that a list that cannot be opened stops the run before
  // anything is scanned; but not a named pipe, which would wait for its
  // writer, who may write the lists one after the other and be held up on a
  // full pipe of an earlier list until that is read.
  if (owned_ && !OpeningWaitsForWriter(path)) {
    fd_ = Open();
  }
}

PathList::~PathList() {
  if (owned_ && fd_ >= 0) {
    ::close(fd_);
  }
}

int PathList::Open() const { return OpenListFile(name_, QuotedName(name_)); }

bool PathList::ReadBlock() {
  block_taken_ = 0;
  block_size_ = 0;
  try {
    // What the list has now: a name written to a pipe is scanned while its
    // writer is still at work on the next one.
    block_size_ = ReadSome(fd_, block_, name_);
  } catch (const std::system_error&) {
    ended_ = true;
    pending_.clear();
    throw;
  }
  return block_size_ > 0;
}

std::optional<std::string> PathList::Next() {
  if (fd_ < 0 && !ended_) {
    ended_ = true;  // unless it opens
    fd_ = Open();
    ended_ = false;
  }
  for (;;) {
    if (block_taken_ == block_size_ && (ended_ || !ReadBlock())) {
      ended_ = true;
      // The last name, without its separator.
      if (pending_.empty()) {
        return std::nullopt;
      }
      return std::exchange(pending_, {});
    }
    // Only the bytes not yet looked at are searched, so a line of any
    // length costs time in proportion to it.
    const std::string_view unread(reinterpret_cast<const char*>(block_.data()) + block_taken_,
                                  block_size_ - block_taken_);
    const std::size_t end = unread.find(separator_);
    const std::string_view part = unread.substr(0, end);
    block_taken_ += part.size();
    if (!passing_over_) {
      pending_ += part;
      if (pending_.size() > kLongestListedName) {
        // No file has that name: what a line that never ends (a list read
        // without -0, /dev/zero) holds is dropped as it is read, and the
        // list goes on after it.
        passing_over_ = true;
        pending_.clear();
        throw std::system_error(std::make_error_code(std::errc::filename_too_long),
                                name_ + ": name " + std::to_string(number_) + " is longer than " +
                                    std::to_string(kLongestListedName) + " bytes");
      }
    }
    if (end == std::string_view::npos) {
      continue;
    }
    ++block_taken_;  // the separator
    ++number_;
    passing_over_ = false;
    if (!pending_.empty()) {
      return std::exchange(pending_, {});
    }
  }
}

}  // namespace telltale::cli
