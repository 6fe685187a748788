#include "cli/held_positions.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <string>
#include <system_error>

#include "cli/limits.h"

namespace telltale::cli {
namespace {

[[noreturn]] void ThrowTemporaryFileError(const std::string& input, int errno_value) {
  throw std::system_error(errno_value, std::generic_category(),
                          input + ": temporary file for held findings");
}

std::string TemporaryDirectory() {
  const char* dir = std::getenv("TMPDIR");  // NOLINT(concurrency-mt-unsafe): nobody sets it
  return dir != nullptr && *dir != '\0' ? std::string(dir) : std::string("/tmp");
}

// A file that has no name from the start where the file system allows it,
// else one that is unlinked at once; either way it goes when closed.
int OpenUnnamedFile(const std::string& input) {
  const std::string dir = TemporaryDirectory();
  int fd = ::open(dir.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
  if (fd >= 0) {
    return fd;
  }
  std::string pattern = dir + "/telltale-scan-XXXXXX";
  fd = ::mkostemp(pattern.data(), O_CLOEXEC);
  if (fd < 0) {
    ThrowTemporaryFileError(input, errno);
  }
  ::unlink(pattern.c_str());
  return fd;
}

void WriteAll(const std::string& input, int fd, const char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t written = ::write(fd, data, size);
    if (written < 0) {
      if (errno == EINTR) {
        continue;
      }
      ThrowTemporaryFileError(input, errno);
    }
    data += written;
    size -= static_cast<std::size_t>(written);
  }
}

void ReadAll(const std::string& input, int fd, std::uint64_t offset, char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t got = ::pread(fd, data, size, static_cast<off_t>(offset));
    if (got < 0 && errno == EINTR) {
      continue;
    }
    if (got <= 0) {
      ThrowTemporaryFileError(input, got < 0 ? errno : EIO);
    }
    data += got;
    size -= static_cast<std::size_t>(got);
    offset += static_cast<std::uint64_t>(got);
  }
}

}  // namespace

HeldPositions::~HeldPositions() {
  if (spill_fd_ >= 0) {
    ::close(spill_fd_);
  }
}

void HeldPositions::Add(Position position) {
  if (recent_.size() == kHeldPositionsInMemory) {
    Spill();
  }
  recent_.push_back(position);
}

void HeldPositions::Spill() {
  if (spill_fd_ < 0) {
    spill_fd_ = OpenUnnamedFile(input_);
  }
  WriteAll(input_, spill_fd_, reinterpret_cast<const char*>(recent_.data()),
           recent_.size() * sizeof(Position));
  spilled_ += recent_.size();
  recent_.clear();
}

void HeldPositions::Replay(const std::function<void(Position)>& use) {
  if (spilled_ > 0) {
    // Everything goes through the file, so one buffer serves for reading back.
    Spill();
    for (std::uint64_t done = 0; done < spilled_;) {
      const auto count = static_cast<std::size_t>(
          std::min<std::uint64_t>(spilled_ - done, kHeldPositionsInMemory));
      recent_.resize(count);
      ReadAll(input_, spill_fd_, done * sizeof(Position), reinterpret_cast<char*>(recent_.data()),
              count * sizeof(Position));
      for (const Position p : recent_) {
        use(p);
      }
      done += count;
    }
    ::close(spill_fd_);
    spill_fd_ = -1;
    spilled_ = 0;
  } else {
    for (const Position p : recent_) {
      use(p);
    }
  }
  recent_.clear();
}

}  // namespace telltale::cli
