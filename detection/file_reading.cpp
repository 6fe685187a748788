#include "detection/file_reading.h"

#include <fcntl.h>
#include <poll.h>
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

// Calls `read_once(at, wanted)` on `fd` until `count` bytes are in or the
// input ends, retrying on EINTR. A descriptor left non-blocking by whoever
// opened it, such as an inherited standard input, is waited on, not failed.
template <typename ReadOnce>
std::size_t FillBuffer(int fd, unsigned char* buffer, std::size_t count, const std::string& name,
                       ReadOnce read_once) {
  std::size_t done = 0;
  while (done < count) {
    const ssize_t got = read_once(buffer + done, count - done);
    if (got < 0) {
      if (errno == EINTR) {
        continue;
      }
      if (errno == EAGAIN || errno == EWOULDBLOCK) {
        pollfd readable{.fd = fd, .events = POLLIN, .revents = 0};
        if (::poll(&readable, 1, -1) < 0 && errno != EINTR) {
          ThrowErrno(errno, name);
        }
        continue;
      }
      ThrowErrno(errno, name);
    }
    if (got == 0) {
      break;
    }
    done += static_cast<std::size_t>(got);
  }
  return done;
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
  return ReadFileAt(fd_, offset, buffer, count, path_);
}

std::size_t ReadFileAt(int fd, std::uint64_t offset, unsigned char* buffer, std::size_t count,
                       const std::string& name) {
  return FillBuffer(fd, buffer, count, name, [&](unsigned char* at, std::size_t wanted) {
    return ::pread(fd, at, wanted,
                   static_cast<off_t>(offset + static_cast<std::uint64_t>(at - buffer)));
  });
}

std::size_t ReadStream(int fd, unsigned char* buffer, std::size_t count, const std::string& name) {
  return FillBuffer(fd, buffer, count, name,
                    [fd](unsigned char* at, std::size_t wanted) { return ::read(fd, at, wanted); });
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
