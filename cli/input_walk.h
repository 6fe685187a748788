// SPDX-License-Identifier: Apache-2.0
// The inputs of one run, in order: the paths given, and with recursion the
// files under the directories given, each directory's entries sorted by name.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "cli/directory_entries.h"
#include "cli/path_list.h"

namespace telltale::cli {

// A directory open for a walk, closed when the walk and every input met in it
// are done with it.
class WalkedDirectory {
 public:
  explicit WalkedDirectory(int fd) : fd_(fd) {}
  ~WalkedDirectory();
  WalkedDirectory(const WalkedDirectory&) = delete;
  WalkedDirectory& operator=(const WalkedDirectory&) = delete;

  [[nodiscard]] int fd() const { return fd_; }

 private:
  int fd_;
};

struct Input {
  enum class Kind {
    kFile,           // to be opened and scanned
    kStandardInput,  // "-"
    kSkipped,        // met in a walk and not scanned: `reason` says why
    kUnreadable,     // a directory not read, an entry met not reached, a
                     // list or a name in it not read: `failure`
  };
  Kind kind = Kind::kFile;
  std::string path;  // bytes, as given or as walked
  std::string reason;
  // Its what() names `path` first, and may say more than its code() does:
  // which name of a list was refused.
  std::optional<std::system_error> failure;
  // For a file met in a walk: its directory and its name there, which is
  // what is opened, never `path`.
  std::shared_ptr<const WalkedDirectory> directory;
  std::string name;
  bool follow_links = true;  // whether a link in its place is followed
};

// Walks lazily: only the directories on the way to the current entry are
// held, each as the sorted names of what remains in it and its identity.
// Symbolic links are followed for paths given; those met in a walk are
// skipped unless `follow_links`, and every directory and file met is opened
// relative to its directory, so a link put in its place meanwhile leads
// nowhere. A directory already on the way to it is skipped: no walk loops.
//
// The directory given and the innermost kDirectoriesHeldOpen on the way keep
// a descriptor open, so that no depth runs out of descriptors. One whose
// descriptor was let go is opened again on the way back up, through ".." of
// the directory below it or, where that leads elsewhere (entered through a
// link, or moved meanwhile), down from the nearest one still open through
// the names they were met by; either way it must be the directory walked.
// One that is no longer there is a failure named after it, and the walk
// goes on with the rest.
//
// The names of `lists` follow `paths`, list after list, each read as it is
// reached and walked as a path given is; "-" there names a file, not
// standard input. A list's failure (see PathList::Next) is an unreadable
// input named as the list.
class InputWalk {
 public:
  InputWalk(std::vector<std::string> paths, bool recursive, bool follow_links = false,
            std::vector<std::unique_ptr<PathList>> lists = {});

  // How many directories below the one given keep their descriptors.
  static constexpr std::size_t kDirectoriesHeldOpen = 32;

  // The next input, or nothing when all have been given.
  std::optional<Input> Next();

 private:
  struct OpenDirectory {
    std::shared_ptr<const WalkedDirectory> directory;  // null once let go
    std::string path;                                  // as shown
    std::vector<std::string> names;                    // what remains, the next last
    DirectoryIdentity identity;
    std::string name;  // in the directory above, by which it was entered
  };

  // The next path given, or read from the list; whether it may name
  // standard input.
  std::optional<std::pair<std::string, bool>> NextPath();
  std::optional<Input> FromEntry(const OpenDirectory& parent, std::string name);
  // Adds the directory open as `fd`, entered by `name`, to the walk, or
  // returns why it cannot be read or is skipped. Takes `fd` in every case.
  std::optional<Input> Enter(int fd, std::string path, std::string name);
  // Drops the innermost directory, done with, and opens the one above it
  // again through ".." if its descriptor was let go.
  void Leave();
  // Opens the innermost directory, whose descriptor was let go, again from
  // the nearest one still open, or returns the failure of the first
  // directory on the way that is not where it was.
  std::optional<Input> Reopen();

  std::vector<std::string> paths_;
  std::size_t next_path_ = 0;
  std::vector<std::unique_ptr<PathList>> lists_;
  std::size_t next_list_ = 0;
  bool recursive_;
  bool follow_links_;
  std::vector<OpenDirectory> open_;  // innermost last
};

}  // namespace telltale::cli
