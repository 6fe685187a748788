#include "cli/path_list.h"

#include <unistd.h>

#include <array>
#include <span>
#include <system_error>

#include "cli/list_file.h"
#include "cli/quoted_name.h"
#include "detection/descriptor_io.h"

namespace telltale::cli {
namespace {

// The most one read of the list takes.
constexpr std::size_t kListBlockBytes = 4096;

}  // namespace

PathList::PathList(const std::string& path, char separator)
    : fd_(STDIN_FILENO),
      owned_(path != "-"),
      separator_(separator),
      name_(owned_ ? path : "(standard input)") {
  if (owned_) {
    // Blocks on a named pipe until its writer comes, as a list given as
    // <(command) needs.
    fd_ = OpenListFile(path, QuotedName(name_));
  }
}

PathList::~PathList() {
  if (owned_) {
    ::close(fd_);
  }
}

std::optional<std::string> PathList::Next() {
  for (;;) {
    const std::size_t end = buffer_.find(separator_, taken_);
    if (end != std::string::npos) {
      std::string name = buffer_.substr(taken_, end - taken_);
      taken_ = end + 1;
      if (name.empty()) {
        continue;
      }
      return name;
    }
    if (ended_) {
      // The last name, without its separator.
      std::string name = buffer_.substr(taken_);
      buffer_.clear();
      taken_ = 0;
      if (name.empty()) {
        return std::nullopt;
      }
      return name;
    }
    buffer_.erase(0, taken_);
    taken_ = 0;
    std::array<unsigned char, kListBlockBytes> block{};
    std::size_t got = 0;
    try {
      // What the list has now: a name written to a pipe is scanned while
      // its writer is still at work on the next one.
      got = ReadSome(fd_, block, name_);
    } catch (const std::system_error&) {
      ended_ = true;
      buffer_.clear();
      throw;
    }
    buffer_.append(reinterpret_cast<const char*>(block.data()), got);
    ended_ = got == 0;
  }
}

}  // namespace telltale::cli
