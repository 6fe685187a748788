#include "detection/file_reading.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <limits>
#include <system_error>

#include "detection/scan_error.h"

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

}  // namespace

ScanFile::ScanFile(const std::string& path) : path_(path) {
  if (path.empty()) {
    ThrowErrno(ENOENT, path);
  }
  if (path.find('\0') != std::string::npos) {
    // The system would silently open a shorter name.
    ThrowErrno(EINVAL, path);
  }
  // Look before opening: opening some devices has effects of its own.
  struct stat before {};
  if (::stat(path.c_str(), &before) != 0) {
    ThrowErrno(errno, path);
  }
  RequireScannable(before.st_mode, path);

  // O_NONBLOCK: should the name have become a FIFO meanwhile, opening it
  // does not wait for a writer; the check below then refuses it.
  fd_ = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd_ < 0) {
    ThrowErrno(errno, path);
  }
  try {
    struct stat opened {};
    if (::fstat(fd_, &opened) != 0) {
      ThrowErrno(errno, path);
    }
    RequireScannable(opened.st_mode, path);
    if (S_ISREG(opened.st_mode)) {
      size_ = static_cast<std::uint64_t>(opened.st_size);
    } else {
      const off_t end = ::lseek(fd_, 0, SEEK_END);
      if (end < 0) {
        ThrowErrno(errno, path);
      }
      size_ = static_cast<std::uint64_t>(end);
    }
  } catch (...) {
    ::close(fd_);
    throw;
  }
}

ScanFile::~ScanFile() { ::close(fd_); }

std::size_t ScanFile::ReadAt(std::uint64_t offset, unsigned char* buffer, std::size_t count) const {
  std::size_t done = 0;
  while (done < count) {
    const ssize_t got =
        ::pread(fd_, buffer + done, count - done, static_cast<off_t>(offset + done));
    if (got < 0) {
      if (errno == EINTR) {
        continue;
      }
      ThrowErrno(errno, path_);
    }
    if (got == 0) {
      break;
    }
    done += static_cast<std::size_t>(got);
  }
  return done;
}

FileContent ReadFileContent(const ScanFile& file) {
  if (file.size() > std::numeric_limits<std::size_t>::max()) {
    ThrowErrno(ENOMEM, file.path());
  }
  FileContent content;
  try {
    content = FileContent(static_cast<std::size_t>(file.size()));
  } catch (const std::system_error& e) {
    ThrowScanError(e.code(), file.path());
  }
  if (file.ReadAt(0, content.data(), content.size()) != content.size()) {
    ThrowScanError(ScanErrc::kFileShrank, file.path());
  }
  return content;
}

}  // namespace telltale
