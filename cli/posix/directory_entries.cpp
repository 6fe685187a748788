// SPDX-License-Identifier: Apache-2.0
#include "cli/directory_entries.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string_view>

namespace telltale::cli {
namespace {

std::error_code LastError() { return {errno, std::generic_category()}; }

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

// Opens a directory as InputFile opens a file: with O_NOATIME, so that
// listing it leaves its access time as it was, and without it where the
// system refuses the flag (EPERM: anybody else's directory, to a user
// without the privilege).
int OpenDirectoryFlagged(int directory_fd, const std::string& name, int flags,
                         std::error_code& error) {
  flags |= O_RDONLY | O_DIRECTORY | O_CLOEXEC;
  int fd = ::openat(directory_fd, name.c_str(), flags | O_NOATIME);
  if (fd < 0 && errno == EPERM) {
    fd = ::openat(directory_fd, name.c_str(), flags);
  }
  if (fd < 0) {
    error = LastError();
  }
  return fd;
}

}  // namespace

bool IsDirectory(const std::string& path) {
  struct stat status {};
  return path.find('\0') == std::string::npos && ::stat(path.c_str(), &status) == 0 &&
         S_ISDIR(status.st_mode);
}

int OpenDirectoryPath(const std::string& path, std::error_code& error) {
  return OpenDirectoryFlagged(AT_FDCWD, path, 0, error);
}

int OpenDirectoryAt(int directory_fd, const std::string& name, bool follow_links,
                    std::error_code& error) {
  return OpenDirectoryFlagged(directory_fd, name, follow_links ? 0 : O_NOFOLLOW, error);
}

int OpenParentDirectory(int directory_fd, std::error_code& error) {
  return OpenDirectoryFlagged(directory_fd, "..", O_NOFOLLOW, error);
}

std::error_code StatusAt(int directory_fd, const std::string& name, bool follow_links,
                         EntryStatus& status) {
  struct stat found {};
  if (::fstatat(directory_fd, name.c_str(), &found, follow_links ? 0 : AT_SYMLINK_NOFOLLOW) != 0) {
    return LastError();
  }
  if (S_ISLNK(found.st_mode)) {
    status = {EntryStatus::Type::kLink, {}};
  } else if (S_ISDIR(found.st_mode)) {
    status = {EntryStatus::Type::kDirectory, {}};
  } else if (std::string kind = SpecialKind(found.st_mode); !kind.empty()) {
    status = {EntryStatus::Type::kSpecial, std::move(kind)};
  } else {
    status = {EntryStatus::Type::kFile, {}};
  }
  return {};
}

std::error_code IdentityOf(int directory_fd, DirectoryIdentity& identity) {
  struct stat status {};
  if (::fstat(directory_fd, &status) != 0) {
    return LastError();
  }
  identity = {static_cast<std::uint64_t>(status.st_dev), static_cast<std::uint64_t>(status.st_ino)};
  return {};
}

std::error_code ReadNames(int directory_fd, std::vector<std::string>& names) {
  // The listing takes a descriptor of its own: `directory_fd` stays for opening.
  const int listing_fd = ::fcntl(directory_fd, F_DUPFD_CLOEXEC, 0);
  if (listing_fd < 0) {
    return LastError();
  }
  DIR* listing = ::fdopendir(listing_fd);
  if (listing == nullptr) {
    const std::error_code error = LastError();
    ::close(listing_fd);
    return error;
  }
  std::error_code error;
  for (;;) {
    errno = 0;
    // readdir_r is deprecated: readdir is safe on a stream no other thread reads.
    // NOLINTNEXTLINE(concurrency-mt-unsafe)
    const dirent* entry = ::readdir(listing);  // cppcheck-suppress readdirCalled
    if (entry == nullptr) {
      if (errno != 0) {
        error = LastError();
      }
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

void CloseDirectory(int directory_fd) { ::close(directory_fd); }

std::string Joined(const std::string& path, const std::string& name) {
  return path.ends_with('/') ? path + name : path + '/' + name;
}

}  // namespace telltale::cli
