// SPDX-License-Identifier: Apache-2.0
#include "batch_in_process.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/mman.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <csignal>
#include <exception>
#include <filesystem>
#include <system_error>

#include "cli/command_line.h"
#include "telltale/platform/descriptor_io.h"
#include "telltale/telltale.h"

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

BatchOptions ParsedBatch(const std::vector<std::string>& args) {
  std::vector<std::string> words{"telltale-scan"};
  words.insert(words.end(), args.begin(), args.end());
  std::vector<char*> argv;
  argv.reserve(words.size() + 1);
  for (std::string& word : words) {
    argv.push_back(word.data());
  }
  argv.push_back(nullptr);
  optind = 0;  // getopt_long starts afresh, as in a new process
  return ParseCommandLine(static_cast<int>(words.size()), argv.data()).batch;
}

std::array<int, 2> OpenPipe() {
  std::array<int, 2> ends{};
  if (::pipe2(ends.data(), O_CLOEXEC) != 0) {
    throw std::system_error(errno, std::generic_category(), "pipe2");
  }
  return ends;
}

void Close(int& fd) {
  if (fd >= 0) {
    ::close(fd);
    fd = -1;
  }
}

}  // namespace

BatchRun RunBatch(const std::vector<std::string>& args, const std::string& directory) {
  BatchOptions options = ParsedBatch(args);
  const MemoryFile out;
  const MemoryFile err;
  options.out_fd = out.fd();
  options.err_fd = err.fd();
  const WorkingDirectory in(directory);
  BatchRun run;
  run.status = ScanBatch(std::move(options));
  run.out = out.Text();
  run.err = err.Text();
  return run;
}

BatchFedByPipe::BatchFedByPipe(const std::vector<std::string>& args) {
  std::signal(SIGPIPE, SIG_IGN);  // NOLINT(cert-err33-c): a run ended early fails Feed, no more
  const std::array<int, 2> list = OpenPipe();
  list_in_ = list[0];
  list_out_ = list[1];
  const std::array<int, 2> err = OpenPipe();
  err_in_ = err[0];
  const int err_out = err[1];
  out_ = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
  list_ = "/dev/fd/" + std::to_string(list_in_);
  std::vector<std::string> words = args;
  words.insert(words.end(), {"--files-from", list_});
  BatchOptions options = ParsedBatch(words);
  options.out_fd = out_;
  options.err_fd = err_out;
  // Its standard error ends with it, so that End can read all of it while
  // it runs, however much it writes.
  status_ = std::async(std::launch::async, [options = std::move(options), err_out]() mutable {
    const struct CloseAtEnd {
      int fd;
      ~CloseAtEnd() { ::close(fd); }
    } close_at_end{err_out};
    return ScanBatch(std::move(options));
  });
}

BatchFedByPipe::~BatchFedByPipe() {
  if (status_.valid()) {
    try {
      End();  // before its standard error goes
    } catch (const std::exception&) {
      // The test has ended without the run's result, which it did not need.
    }
  }
  for (int* fd : {&list_in_, &err_in_, &out_}) {
    Close(*fd);
  }
}

void BatchFedByPipe::Feed(std::string_view part) const { WriteFully(list_out_, part, "list"); }

bool BatchFedByPipe::ErrorsShow(std::string_view text) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (err_.find(text) == std::string::npos) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
      return false;
    }
    pollfd ready{.fd = err_in_, .events = POLLIN, .revents = 0};
    if (::poll(&ready, 1, static_cast<int>(left.count())) <= 0) {
      continue;  // the time is up, or a signal came
    }
    if (!ReadErrors()) {
      return false;
    }
  }
  return true;
}

bool BatchFedByPipe::ReadErrors() {
  std::array<unsigned char, 4096> block{};
  const std::size_t got = ReadSome(err_in_, block, "standard error");
  err_.append(reinterpret_cast<const char*>(block.data()), got);
  return got > 0;
}

BatchRun BatchFedByPipe::End() {
  Close(list_out_);
  while (ReadErrors()) {
  }
  return BatchRun{status_.get(), {}, err_};
}

}  // namespace telltale::cli::testing
