// SPDX-License-Identifier: Apache-2.0
// What reading an input file does on every system; opening it and asking its
// state are in posix/ and win32/.
#include "telltale/input_file.h"

#include <algorithm>
#include <system_error>
#include <utility>

#include "telltale/platform/descriptor_io.h"
#include "telltale/scan_error.h"

namespace telltale {

InputFile::InputFile(int directory_fd, const std::string& name, std::string shown,
                     bool follow_links)
    : path_(std::move(shown)) {
  Open(directory_fd, name, follow_links);
}

std::optional<std::uint64_t> InputFile::size() const {
  if (stream_) {
    return std::nullopt;
  }
  return size_;
}

std::size_t InputFile::Read(std::uint64_t offset, std::span<unsigned char> buffer) {
  if (stream_) {
    // Opened non-blocking: a pseudo-file with nothing more to give now has
    // ended, rather than waiting for the kernel to produce more (/proc/kmsg
    // would wait for the next kernel message, for ever).
    return ReadAvailable(fd_, buffer, path_);
  }
  const auto wanted = static_cast<std::size_t>(
      std::min<std::uint64_t>(buffer.size(), size_ - std::min(offset, size_)));
  const std::size_t got = ReadFullyAt(fd_, offset, buffer.first(wanted), path_);
  if (got < wanted) {
    ThrowScanError(ScanErrc::kFileShrank, path_);
  }
  return got;
}

void InputFile::CheckUnchanged() const {
  if (stream_) {
    return;  // read once: there is no second pass to compare
  }
  const Version now = CurrentVersion();
  if (now.size != opened_.size || now.modified.tv_sec != opened_.modified.tv_sec ||
      now.modified.tv_nsec != opened_.modified.tv_nsec) {
    ThrowScanError(ScanErrc::kFileChanged, path_);
  }
}

}  // namespace telltale
