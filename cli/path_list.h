// SPDX-License-Identifier: Apache-2.0
// Names of files to scan, read from a file or standard input as they are
// needed (--files-from).
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string>

namespace telltale::cli {

// Reads a list of names, each ended by `separator` ('\n' or '\0'; the last
// one may lack it). Names are bytes: nothing is stripped, not even a CR
// before a newline. Empty names are passed over. The list is read as names
// are asked for, each read taking what it has, so that a name is given as
// soon as its writer has ended it. Memory holds one block and the name being
// read, whatever the length of the list or of a line in it: a name longer
// than any path (kLongestListedName) is refused as soon as it is, and the
// rest of it passed over as it is read.
class PathList {
 public:
  // Opens `path`, or takes standard input for "-", where it is shown as
  // "(standard input)". Throws std::system_error naming the list. A named
  // pipe is opened only when its first name is asked for: opening it waits
  // for its writer, who may be busy with an earlier list until that one is
  // read.
  PathList(const std::string& path, char separator);
  ~PathList();
  PathList(const PathList&) = delete;
  PathList& operator=(const PathList&) = delete;

  // How the list is named in messages.
  [[nodiscard]] const std::string& name() const { return name_; }

  // The next name, or nothing at the end of the list. Throws
  // std::system_error naming the list: ENAMETOOLONG for a name too long,
  // after which the next call goes on after it; any other failure, to open
  // or to read it, ends the list.
  std::optional<std::string> Next();

 private:
  [[nodiscard]] int Open() const;
  // Reads what the list has into the block; false at its end.
  bool ReadBlock();

  int fd_;  // -1 until a named pipe is opened
  bool owned_;
  char separator_;
  std::string name_;
  // The most one read takes: what a pipe holds on Linux.
  static constexpr std::size_t kBlockBytes = 65536;

  std::array<unsigned char, kBlockBytes> block_{};
  std::size_t block_taken_ = 0;  // the block's bytes up to here are done with
  std::size_t block_size_ = 0;
  std::string pending_;        // the name being read, so far
  std::size_t number_ = 1;     // its number, counted from 1, empty names too
  bool passing_over_ = false;  // it has been refused: the rest is dropped
  bool ended_ = false;
};

}  // namespace telltale::cli
