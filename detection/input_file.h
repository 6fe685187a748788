// An input file opened and checked for a scan.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>

#include "detection/scan_source.h"

namespace telltale {

// Read-only, closed when this goes. Opening never creates or writes a file
// and never blocks: directories, FIFOs, sockets and character devices are
// refused at once. Regular files and block devices are accepted; both can be
// read again at any offset.
class InputFile final : public ScanSource {
 public:
  // `path` is bytes and is opened exactly as given. Throws std::system_error.
  explicit InputFile(const std::string& path);
  ~InputFile() override;

  [[nodiscard]] int fd() const { return fd_; }
  [[nodiscard]] const std::string& name() const override { return path_; }
  [[nodiscard]] std::optional<std::uint64_t> size() const override { return size_; }
  [[nodiscard]] bool CanReadAgain() const override { return true; }

  // Reads up to the size the file had when it was opened: bytes added since
  // are left alone, and a file that has shrunk below it fails.
  std::size_t Read(std::uint64_t offset, std::span<unsigned char> buffer) override;

  // Fails when the size or the modification time differ from opening.
  void CheckUnchanged() const override;

 private:
  struct Version {
    std::uint64_t size = 0;
    timespec modified{};
  };
  [[nodiscard]] Version CurrentVersion() const;

  std::string path_;
  int fd_ = -1;
  std::uint64_t size_ = 0;
  Version opened_;
};

}  // namespace telltale
