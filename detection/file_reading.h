// Opening a file to scan, safely, and reading it.
#pragma once

#include <cstdint>
#include <string>

#include "detection/file_content.h"

namespace telltale {

// An open file, read-only, closed when this goes. Opening never creates or
// writes a file and never blocks: directories, FIFOs, sockets and character
// devices are refused at once. Regular files and block devices are accepted.
class ScanFile {
 public:
  // `path` is bytes and is opened exactly as given. Throws std::system_error.
  explicit ScanFile(const std::string& path);
  ~ScanFile();
  ScanFile(const ScanFile&) = delete;
  ScanFile& operator=(const ScanFile&) = delete;

  [[nodiscard]] int fd() const { return fd_; }
  [[nodiscard]] std::uint64_t size() const { return size_; }
  [[nodiscard]] const std::string& path() const { return path_; }

  // Reads up to `count` bytes at `offset`, retrying on EINTR and short reads;
  // returns fewer only at the end of the file. Throws std::system_error.
  std::size_t ReadAt(std::uint64_t offset, unsigned char* buffer, std::size_t count) const;

 private:
  std::string path_;
  int fd_ = -1;
  std::uint64_t size_ = 0;
};

// ScanFile::ReadAt for any descriptor that can be read at an offset.
std::size_t ReadFileAt(int fd, std::uint64_t offset, unsigned char* buffer, std::size_t count,
                       const std::string& name);

// Reads `fd` from where it stands until `count` bytes are in or it ends, for
// pipes and terminals, which cannot be read at an offset. `name` is used in
// the messages of failures. Throws std::system_error.
std::size_t ReadStream(int fd, unsigned char* buffer, std::size_t count, const std::string& name);

// The whole file in one buffer, exactly size() bytes as taken at opening.
// A file that shrinks meanwhile is an error; bytes added meanwhile are not
// read.
FileContent ReadFileContent(const ScanFile& file);

}  // namespace telltale
