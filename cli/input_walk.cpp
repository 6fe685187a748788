// SPDX-License-Identifier: Apache-2.0
#include "cli/input_walk.h"

#include <algorithm>
#include <functional>
#include <string_view>
#include <utility>

#include "cli/directory_entries.h"
#include "telltale/quoted_name.h"
#include "telltale/scan_error.h"

namespace telltale::cli {
namespace {

Input Skipped(std::string path, std::string reason) {
  return Input{Input::Kind::kSkipped, std::move(path), std::move(reason), {}, {}, {}, true};
}

Input Unreadable(std::string path, const std::system_error& failure) {
  return Input{Input::Kind::kUnreadable, std::move(path), {}, failure, {}, {}, true};
}

Input Unreadable(std::string path, std::error_code error) {
  std::system_error failure(error, path);
  return Unreadable(std::move(path), failure);
}

}  // namespace

WalkedDirectory::~WalkedDirectory() { CloseDirectory(fd_); }

InputWalk::InputWalk(std::vector<std::string> paths, bool recursive, bool follow_links,
                     std::vector<std::unique_ptr<PathList>> lists)
    : paths_(std::move(paths)),
      lists_(std::move(lists)),
      recursive_(recursive),
      follow_links_(follow_links) {}

std::optional<std::pair<std::string, bool>> InputWalk::NextPath() {
  if (next_path_ < paths_.size()) {
    return std::pair{std::move(paths_[next_path_++]), true};
  }
  while (next_list_ < lists_.size()) {
    if (std::optional<std::string> path = lists_[next_list_]->Next()) {
      return std::pair{std::move(*path), false};
    }
    lists_[next_list_++].reset();  // read to its end: closed
  }
  return std::nullopt;
}

std::optional<Input> InputWalk::Next() {
  for (;;) {
    if (!open_.empty()) {
      if (!open_.back().directory) {
        if (std::optional<Input> failure = Reopen()) {
          return failure;
        }
        continue;
      }
      OpenDirectory& directory = open_.back();
      if (directory.names.empty()) {
        Leave();
        continue;
      }
      std::string name = std::move(directory.names.back());
      directory.names.pop_back();
      // Entering a directory may reallocate open_: `directory` is passed on
      // as a copy of what the entry needs.
      const OpenDirectory parent{directory.directory, directory.path, {}, {}, {}};
      if (std::optional<Input> input = FromEntry(parent, std::move(name))) {
        return input;
      }
      continue;
    }
    std::optional<std::pair<std::string, bool>> next;
    try {
      next = NextPath();
    } catch (const std::system_error& e) {
      return Unreadable(lists_[next_list_]->name(), e);
    }
    if (!next) {
      return std::nullopt;
    }
    auto& [path, may_be_standard_input] = *next;
    if (may_be_standard_input && path == "-") {
      return Input{Input::Kind::kStandardInput, std::move(path), {}, {}, {}, {}, true};
    }
    // Whatever else it is, opening it will say.
    if (recursive_ && IsDirectory(path)) {
      std::error_code error;
      const int fd = OpenDirectoryPath(path, error);
      if (fd < 0) {
        return Unreadable(std::move(path), error);
      }
      if (std::optional<Input> failure = Enter(fd, std::move(path), {})) {
        return failure;
      }
      continue;
    }
    return Input{Input::Kind::kFile, std::move(path), {}, {}, {}, {}, true};
  }
}

std::optional<Input> InputWalk::FromEntry(const OpenDirectory& parent, std::string name) {
  std::string path = Joined(parent.path, name);
  const int parent_fd = parent.directory->fd();
  EntryStatus status;
  if (const std::error_code error = StatusAt(parent_fd, name, follow_links_, status)) {
    // Gone meanwhile or, with links followed, one that leads nowhere.
    return Unreadable(std::move(path), error);
  }
  switch (status.type) {
    case EntryStatus::Type::kLink:
      return Skipped(std::move(path), "skipped, symbolic link");
    case EntryStatus::Type::kSpecial:
      return Skipped(std::move(path), "skipped, " + status.special);
    case EntryStatus::Type::kFile:
      return Input{Input::Kind::kFile, std::move(path), {},           {},
                   parent.directory,   std::move(name), follow_links_};
    case EntryStatus::Type::kDirectory:
      break;
  }
  std::error_code error;
  const int fd = OpenDirectoryAt(parent_fd, name, follow_links_, error);
  if (fd < 0) {
    EntryStatus now;
    if (!follow_links_ && !StatusAt(parent_fd, name, false, now) &&
        now.type == EntryStatus::Type::kLink) {
      return Skipped(std::move(path), "skipped, symbolic link");  // put in its place meanwhile
    }
    return Unreadable(std::move(path), error);
  }
  return Enter(fd, std::move(path), std::move(name));
}

std::optional<Input> InputWalk::Enter(int fd, std::string path, std::string name) {
  auto directory = std::make_shared<const WalkedDirectory>(fd);
  DirectoryIdentity identity;
  if (const std::error_code error = IdentityOf(fd, identity)) {
    return Unreadable(std::move(path), error);
  }
  const auto same = [&](const OpenDirectory& open) { return open.identity == identity; };
  if (const auto ancestor = std::find_if(open_.begin(), open_.end(), same);
      ancestor != open_.end()) {
    return Skipped(std::move(path), "skipped, a loop back to " + QuotedName(ancestor->path));
  }
  std::vector<std::string> names;
  if (const std::error_code error = ReadNames(fd, names)) {
    return Unreadable(std::move(path), error);
  }
  // The next name last, so that each is dropped as it is taken.
  std::sort(names.begin(), names.end(), std::greater<>());
  open_.push_back(OpenDirectory{std::move(directory), std::move(path), std::move(names), identity,
                                std::move(name)});
  // A descriptor for each directory on the way down would make a tree deeper
  // than the open-files limit fail: the outermost beyond the innermost few
  // lets its descriptor go, but for the directory given, which Reopen starts
  // from. Inputs met in it keep it open until they are done.
  if (open_.size() > kDirectoriesHeldOpen + 1) {
    open_[open_.size() - 1 - kDirectoriesHeldOpen].directory.reset();
  }
  return std::nullopt;
}

void InputWalk::Leave() {
  const OpenDirectory left = std::move(open_.back());
  open_.pop_back();
  if (open_.empty() || open_.back().directory) {
    return;
  }
  // Through ".." while `left` is still open. Where that fails or leads to
  // another directory, Reopen goes the long way.
  OpenDirectory& above = open_.back();
  std::error_code error;
  const int fd = OpenParentDirectory(left.directory->fd(), error);
  if (fd < 0) {
    return;
  }
  auto reopened = std::make_shared<const WalkedDirectory>(fd);
  DirectoryIdentity identity;
  if (!IdentityOf(fd, identity) && identity == above.identity) {
    above.directory = std::move(reopened);
  }
}

std::optional<Input> InputWalk::Reopen() {
  // The directory given never lets its descriptor go.
  std::size_t from = open_.size() - 1;
  while (!open_[from].directory) {
    --from;
  }
  std::shared_ptr<const WalkedDirectory> at = open_[from].directory;
  for (std::size_t step = from + 1; step < open_.size(); ++step) {
    std::error_code error;
    const int fd = OpenDirectoryAt(at->fd(), open_[step].name, follow_links_, error);
    if (fd >= 0) {
      at = std::make_shared<const WalkedDirectory>(fd);
      DirectoryIdentity identity;
      error = IdentityOf(fd, identity);
      if (!error && identity != open_[step].identity) {
        error = make_error_code(ScanErrc::kDirectoryMoved);
      }
    }
    if (error) {
      // What remained in it and below it is out of reach: it fails, and the
      // walk goes on in the directory above.
      std::string path = std::move(open_[step].path);
      open_.erase(open_.begin() + static_cast<std::ptrdiff_t>(step), open_.end());
      return Unreadable(std::move(path), error);
    }
  }
  open_.back().directory = std::move(at);
  return std::nullopt;
}

}  // namespace telltale::cli
