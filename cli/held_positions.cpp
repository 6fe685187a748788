#include "cli/held_positions.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <string>
#include <system_error>

#include "cli/limits.h"
#include "cli/write_all.h"
#include "detection/file_reading.h"

namespace telltale::cli {
namespace {

// Named in the messages of failures, after the input.
constexpr const char* kTemporaryFileRole = ": temporary file for held findings";

[[noreturn]] void ThrowTemporaryFileError(const std::string& input, int errno_value) {
  throw std::system_error(errno_value, std::generic_category(), input + kTemporaryFileRole);
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
  const std::string_view bytes(reinterpret_cast<const char*>(recent_.data()),
                               recent_.size() * sizeof(Position));
  if (const int error = WriteAll(spill_fd_, bytes); error != 0) {
    ThrowTemporaryFileError(input_, error);
  }
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
      const std::size_t bytes = count * sizeof(Position);
      if (ReadFileAt(spill_fd_, done * sizeof(Position),
                     reinterpret_cast<unsigned char*>(recent_.data()), bytes,
                     input_ + kTemporaryFileRole) != bytes) {
        ThrowTemporaryFileError(input_, EIO);
      }
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
