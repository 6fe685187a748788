#include "cli/input_walk.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <functional>
#include <string_view>
#include <utility>

#include "cli/quoted_name.h"

namespace telltale::cli {
namespace {

Input Skipped(std::string path, std::string reason) {
  return Input{Input::Kind::kSkipped, std::move(path), std::move(reason), {}, {}, {}, true};
}

Input Unreadable(std::string path, int error) {
  return Input{Input::Kind::kUnreadable,
               std::move(path),
               {},
               std::error_code(error, std::generic_category()),
               {},
               {},
               true};
}

// What a file of this type is, for the note that says it was skipped; empty
// for the types that are scanned.
std::string SpecialKind(mode_t mode) {
  switch (mode & S_IFMT) {
    case S_IFIFO:
      return "a named pipe";
    case S_IFSOCK:
      return "a socket";
    case S_IFCHR:
      return "a character device";
    case S_IFBLK:
      return "a block device";
    default:
      return {};
  }
}

// `name` in the directory shown as `path`.
std::string Joined(const std::string& path, const std::string& name) {
  return path.ends_with('/') ? path + name : path + '/' + name;
}

// The names in the directory open as `fd`, but "." and "..", or the errno.
int ReadNames(int fd, std::vector<std::string>& names) {
  // The listing takes a descriptor of its own: `fd` stays for opening.
  const int listing_fd = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
  if (listing_fd < 0) {
    return errno;
  }
  DIR* listing = ::fdopendir(listing_fd);
  if (listing == nullptr) {
    const int error = errno;
    ::close(listing_fd);
    return error;
  }
  int error = 0;
  for (;;) {
    errno = 0;
    // readdir_r is deprecated: readdir is safe on a stream no other thread reads.
    // NOLINTNEXTLINE(concurrency-mt-unsafe)
    const dirent* entry = ::readdir(listing);  // cppcheck-suppress readdirCalled
    if (entry == nullptr) {
      error = errno;
      break;
    }
    const std::string_view name = entry->d_name;
    if (name != "." && name != "..") {
      names.emplace_back(name);
    }
  }
  ::closedir(listing);
  return error;
}

}  // namespace

WalkedDirectory::~WalkedDirectory() { ::close(fd_); }

InputWalk::InputWalk(std::vector<std::string> paths, bool recursive, bool follow_links,
                     std::unique_ptr<PathList> list)
    : paths_(std::move(paths)),
      list_(std::move(list)),
      recursive_(recursive),
      follow_links_(follow_links) {}

std::optional<std::pair<std::string, bool>> InputWalk::NextPath() {
  if (next_path_ < paths_.size()) {
    return std::pair{std::move(paths_[next_path_++]), true};
  }
  if (list_) {
    if (std::optional<std::string> path = list_->Next()) {
      return std::pair{std::move(*path), false};
    }
  }
  return std::nullopt;
}

std::optional<Input> InputWalk::Next() {
  for (;;) {
    if (!open_.empty()) {
      OpenDirectory& directory = open_.back();
      if (directory.names.empty()) {
        open_.pop_back();
        continue;
      }
      std::string name = std::move(directory.names.back());
      directory.names.pop_back();
      // Entering a directory may reallocate open_: `directory` is passed on
      // as a copy of what the entry needs.
      const OpenDirectory parent{directory.directory, directory.path, {}, 0, 0};
      if (std::optional<Input> input = FromEntry(parent, std::move(name))) {
        return input;
      }
      continue;
    }
    std::optional<std::pair<std::string, bool>> next;
    try {
      next = NextPath();
    } catch (const std::system_error& e) {
      return Unreadable(list_->name(), e.code().value());
    }
    if (!next) {
      return std::nullopt;
    }
    auto& [path, may_be_standard_input] = *next;
    if (may_be_standard_input && path == "-") {
      return Input{Input::Kind::kStandardInput, std::move(path), {}, {}, {}, {}, true};
    }
    struct stat status {};
    // Whatever else it is, opening it will say.
    if (recursive_ && path.find('\0') == std::string::npos && ::stat(path.c_str(), &status) == 0 &&
        S_ISDIR(status.st_mode)) {
      const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
      if (fd < 0) {
        return Unreadable(std::move(path), errno);
      }
      if (std::optional<Input> failure = Enter(fd, std::move(path))) {
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
  struct stat status {};
  if (::fstatat(parent_fd, name.c_str(), &status, follow_links_ ? 0 : AT_SYMLINK_NOFOLLOW) != 0) {
    // Gone meanwhile or, with links followed, one that leads nowhere.
    return Unreadable(std::move(path), errno);
  }
  if (S_ISLNK(status.st_mode)) {
    return Skipped(std::move(path), "skipped, symbolic link");
  }
  if (S_ISDIR(status.st_mode)) {
    const int fd = ::openat(parent_fd, name.c_str(),
                            O_RDONLY | O_DIRECTORY | O_CLOEXEC | (follow_links_ ? 0 : O_NOFOLLOW));
    if (fd < 0) {
      const int error = errno;
      struct stat now {};
      if (!follow_links_ && ::fstatat(parent_fd, name.c_str(), &now, AT_SYMLINK_NOFOLLOW) == 0 &&
          S_ISLNK(now.st_mode)) {
        return Skipped(std::move(path), "skipped, symbolic link");  // put in its place meanwhile
      }
      return Unreadable(std::move(path), error);
    }
    return Enter(fd, std::move(path));
  }
  if (const std::string kind = SpecialKind(status.st_mode); !kind.empty()) {
    return Skipped(std::move(path), "skipped, " + kind);
  }
  return Input{Input::Kind::kFile, std::move(path), {},           {},
               parent.directory,   std::move(name), follow_links_};
}

std::optional<Input> InputWalk::Enter(int fd, std::string path) {
  auto directory = std::make_shared<const WalkedDirectory>(fd);
  struct stat status {};
  if (::fstat(fd, &status) != 0) {
    return Unreadable(std::move(path), errno);
  }
  const auto same = [&](const OpenDirectory& open) {
    return open.device == status.st_dev && open.inode == status.st_ino;
  };
  if (const auto ancestor = std::find_if(open_.begin(), open_.end(), same);
      ancestor != open_.end()) {
    return Skipped(std::move(path), "skipped, a loop back to " + QuotedName(ancestor->path));
  }
  std::vector<std::string> names;
  if (const int error = ReadNames(fd, names); error != 0) {
    return Unreadable(std::move(path), error);
  }
  // The next name last, so that each is dropped as it is taken.
  std::sort(names.begin(), names.end(), std::greater<>());
  open_.push_back(OpenDirectory{std::move(directory), std::move(path), std::move(names),
                                status.st_dev, status.st_ino});
  return std::nullopt;
}

}  // namespace telltale::cli
