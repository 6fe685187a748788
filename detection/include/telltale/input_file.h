// SPDX-License-Identifier: Apache-2.0
// An input file opened and checked for a scan.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "telltale/scan_source.h"

namespace telltale {

// Read-only, closed when this goes. Opening never creates or writes a file,
// leaves its access time alone wherever the system lets it, and never
// blocks: directories, FIFOs, sockets and character devices are refused at
// once. Regular files and block devices are accepted; both can be read again
// at any offset, except the files of file systems whose sizes are not their
// content's (/proc, /sys and the like): those are read once, as a stream, to
// their end or to where they have nothing more to give without waiting.
class InputFile final : public ScanSource {
 public:
  // `path` is bytes and is opened exactly as given, symbolic links followed.
  // Throws std::system_error.
  explicit InputFile(const std::string& path);
  // `name` in the directory open as `directory_fd`, shown as `shown`. With
  // `follow_links` false a symbolic link there fails (ELOOP) instead of being
  // followed. Throws std::system_error.
  InputFile(int directory_fd, const std::string& name, std::string shown, bool follow_links);
  ~InputFile() override;

  [[nodiscard]] int fd() const { return fd_; }
  [[nodiscard]] const std::string& name() const override { return path_; }
  [[nodiscard]] std::optional<std::uint64_t> size() const override;
  [[nodiscard]] bool CanReadAgain() const override { return !stream_; }
  // Whether reading leaves the access time alone (O_NOATIME; on Windows, the
  // handle told not to update it).
  [[nodiscard]] bool access_time_kept() const { return access_time_kept_; }

  // Reads up to the size the file had when it was opened: bytes added since
  // are left alone, and a file that has shrunk below it fails. A file read as
  // a stream is read from where the last read ended, to its end or to where a
  // read would wait, which is taken as its end.
  std::size_t Read(std::uint64_t offset, std::span<unsigned char> buffer) override;

  // Fails when the size or the modification time differ from opening.
  void CheckUnchanged() const override;

 private:
  struct Version {
    std::uint64_t size = 0;
    timespec modified{};
  };
  [[nodiscard]] Version CurrentVersion() const;
  void Open(int directory_fd, const std::string& name, bool follow_links);

  std::string path_;
  int fd_ = -1;
  bool stream_ = false;  // a file whose stated size is not its content's
  bool access_time_kept_ = true;
  std::uint64_t size_ = 0;
  Version opened_;
};

// How reading files treats their access times, for the record of a run:
// "kept" when this process leaves every file's alone, else where it does.
std::string_view AccessTimeHandling();

}  // namespace telltale
