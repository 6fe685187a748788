// Names of files to scan, read from a file or standard input as they are
// needed (--files-from).
#pragma once

#include <cstddef>
#include <optional>
#include <string>

namespace telltale::cli {

// Reads a list of names, each ended by `separator` ('\n' or '\0'; the last
// one may lack it). Names are bytes: nothing is stripped, not even a CR
// before a newline. Empty names are passed over. The list is read a block at
// a time as names are asked for, so memory holds one block and the name
// being read, whatever the length of the list.
class PathList {
 public:
  // Opens `path`, or takes standard input for "-", where it is shown as
  // "(standard input)". Throws std::system_error naming the list.
  PathList(const std::string& path, char separator);
  ~PathList();
  PathList(const PathList&) = delete;
  PathList& operator=(const PathList&) = delete;

  // How the list is named in messages.
  [[nodiscard]] const std::string& name() const { return name_; }

  // The next name, or nothing at the end of the list. After a failure,
  // which throws std::system_error naming the list, the list has ended.
  std::optional<std::string> Next();

 private:
  int fd_;
  bool owned_;
  char separator_;
  std::string name_;
  std::string buffer_;  // read and not yet taken, from `taken_` on
  std::size_t taken_ = 0;
  bool ended_ = false;
};

}  // namespace telltale::cli
