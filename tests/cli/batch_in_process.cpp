#include "batch_in_process.h"

#include <sys/mman.h>
#include <unistd.h>

#include <filesystem>
#include <system_error>

#include "cli/command_line.h"
#include "detection/telltale.h"

namespace telltale::cli::testing {
namespace {

class MemoryFile {
 public:
  MemoryFile() : fd_(::memfd_create("telltale-test", MFD_CLOEXEC)) {
    if (fd_ < 0) {
      throw std::system_error(errno, std::generic_category(), "memfd_create");
    }
  }
  ~MemoryFile() { ::close(fd_); }
  MemoryFile(const MemoryFile&) = delete;
  MemoryFile& operator=(const MemoryFile&) = delete;

  [[nodiscard]] int fd() const { return fd_; }
  [[nodiscard]] std::string Text() const {
    std::string text(static_cast<std::size_t>(::lseek(fd_, 0, SEEK_END)), '\0');
    ReadFullyAt(fd_, 0, {reinterpret_cast<unsigned char*>(text.data()), text.size()}, "memfd");
    return text;
  }

 private:
  int fd_;
};

// Changes the working directory for as long as it lives.
class WorkingDirectory {
 public:
  explicit WorkingDirectory(const std::string& directory)
      : before_(directory.empty() ? std::filesystem::path() : std::filesystem::current_path()) {
    if (!directory.empty()) {
      std::filesystem::current_path(directory);
    }
  }
  ~WorkingDirectory() {
    if (!before_.empty()) {
      std::filesystem::current_path(before_);
    }
  }
  WorkingDirectory(const WorkingDirectory&) = delete;
  WorkingDirectory& operator=(const WorkingDirectory&) = delete;

 private:
  std::filesystem::path before_;
};

}  // namespace

BatchRun RunBatch(const std::vector<std::string>& args, const std::string& directory) {
  std::vector<std::string> words{"telltale-scan"};
  words.insert(words.end(), args.begin(), args.end());
  std::vector<char*> argv;
  argv.reserve(words.size() + 1);
  for (std::string& word : words) {
    argv.push_back(word.data());
  }
  argv.push_back(nullptr);
  optind = 0;  // getopt_long starts afresh, as in a new process
  CommandLine line = ParseCommandLine(static_cast<int>(words.size()), argv.data());
  const MemoryFile out;
  const MemoryFile err;
  line.batch.out_fd = out.fd();
  line.batch.err_fd = err.fd();
  const WorkingDirectory in(directory);
  BatchRun run;
  run.status = ScanBatch(std::move(line.batch));
  run.out = out.Text();
  run.err = err.Text();
  return run;
}

}  // namespace telltale::cli::testing
