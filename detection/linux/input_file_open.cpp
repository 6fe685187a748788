// SPDX-License-Identifier: Apache-2.0
// Opening an input file and reading its state through POSIX calls.
#include <fcntl.h>
#include <linux/magic.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdint>
#include <fstream>
#include <string>
#include <system_error>

#include "telltale/input_file.h"
#include "telltale/scan_error.h"
#include "telltale/sizes.h"

namespace telltale {
namespace {

// Regular files and block devices have a size and can be read without
// waiting on anybody; everything else is refused before any read.
void RequireScannable(mode_t mode, const std::string& path) {
  switch (mode & S_IFMT) {
    case S_IFREG:
    case S_IFBLK:
      return;
    case S_IFDIR:
      ThrowErrno(EISDIR, path);
    case S_IFIFO:
      ThrowScanError(ScanErrc::kNamedPipe, path);
    case S_IFSOCK:
      ThrowScanError(ScanErrc::kSocket, path);
    case S_IFCHR:
      ThrowScanError(ScanErrc::kCharacterDevice, path);
    default:
      ThrowScanError(ScanErrc::kNotAFile, path);
  }
}

// Whether the open file's sizes are made up by its file system rather than
// counted from its content: /proc gives 0 for files with content, /sys 4096
// for files with less.
bool SizeIsNotContent(int fd, const std::string& path) {
  struct statfs system {};
  if (::fstatfs(fd, &system) != 0) {
    ThrowErrno(errno, path);
  }
  switch (system.f_type) {
    case PROC_SUPER_MAGIC:
    case SYSFS_MAGIC:
    case DEBUGFS_MAGIC:
    case TRACEFS_MAGIC:
    case SECURITYFS_MAGIC:
    case CGROUP_SUPER_MAGIC:
    case CGROUP2_SUPER_MAGIC:
      return true;
    default:
      return false;
  }
}

}  // namespace

InputFile::InputFile(const std::string& path) : path_(path) { Open(AT_FDCWD, path, true); }

void InputFile::Open(int directory_fd, const std::string& name, bool follow_links) {
  if (name.empty()) {
    ThrowErrno(ENOENT, path_);
  }
  if (name.find('\0') != std::string::npos) {
    // The system would silently open a shorter name.
    ThrowErrno(EINVAL, path_);
  }
  // Look before opening: opening some devices has effects of its own.
  struct stat before {};
  if (::fstatat(directory_fd, name.c_str(), &before, follow_links ? 0 : AT_SYMLINK_NOFOLLOW) != 0) {
    ThrowErrno(errno, path_);
  }
  if (S_ISLNK(before.st_mode)) {
    ThrowErrno(ELOOP, path_);  // what opening it with O_NOFOLLOW says
  }
  RequireScannable(before.st_mode, path_);

  // O_NONBLOCK: should the name have become a FIFO meanwhile, opening it
  // does not wait for a writer; the check below then refuses it. It stays
  // on: reading a pseudo-file then never waits (see Read). O_NOFOLLOW: nor
  // does a link put in its place lead anywhere.
  const int flags = O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC | (follow_links ? 0 : O_NOFOLLOW);
  // O_NOATIME: a scan leaves the access time, which an examiner may rely on,
  // as it was. The system allows it only to the file's owner or a privileged
  // process and says EPERM to anybody else, who then reads the file as any
  // reader would.
  fd_ = ::openat(directory_fd, name.c_str(), flags | O_NOATIME);
  if (fd_ < 0 && errno == EPERM) {
    access_time_kept_ = false;
    fd_ = ::openat(directory_fd, name.c_str(), flags);
  }
  if (fd_ < 0) {
    ThrowErrno(errno, path_);
  }
  try {
    opened_ = CurrentVersion();
    size_ = opened_.size;
    stream_ = S_ISREG(before.st_mode) && SizeIsNotContent(fd_, path_);
    if (!stream_ && size_ > kChunkSize) {
      // Only advice: the file is read from start to end (twice where needed).
      ::posix_fadvise(fd_, 0, 0, POSIX_FADV_SEQUENTIAL);
    }
  } catch (...) {
    ::close(fd_);
    throw;
  }
}

InputFile::~InputFile() { ::close(fd_); }

InputFile::Version InputFile::CurrentVersion() const {
  struct stat now {};
  if (::fstat(fd_, &now) != 0) {
    ThrowErrno(errno, path_);
  }
  // Checked every time: what is checked for changes must still be a file.
  RequireScannable(now.st_mode, path_);
  Version version{static_cast<std::uint64_t>(now.st_size), now.st_mtim};
  if (!S_ISREG(now.st_mode)) {
    // A block device's size comes from seeking to its end.
    const off_t end = ::lseek(fd_, 0, SEEK_END);
    if (end < 0) {
      ThrowErrno(errno, path_);
    }
    version.size = static_cast<std::uint64_t>(end);
  }
  return version;
}

std::string_view AccessTimeHandling() {
  // The system refuses O_NOATIME on anybody else's file to a process without
  // CAP_FOWNER; the effective capabilities are a hexadecimal mask on the
  // "CapEff:" line.
  constexpr unsigned kFileOwnerCapability = 3;  // CAP_FOWNER
  std::ifstream status("/proc/self/status");
  std::string line;
  std::uint64_t mask = 0;
  while (std::getline(status, line)) {
    if (line.starts_with("CapEff:")) {
      const std::size_t digits = line.find_first_not_of(" \t", 7);
      if (digits != std::string::npos) {
        std::from_chars(line.data() + digits, line.data() + line.size(), mask, 16);
      }
      break;
    }
  }
  return ((mask >> kFileOwnerCapability) & 1U) != 0 ? "kept" : "kept for the user's own files";
}

}  // namespace telltale
