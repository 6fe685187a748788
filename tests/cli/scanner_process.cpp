#include "scanner_process.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <stdexcept>
#include <system_error>
#include <utility>

namespace telltale::cli::testing {
namespace {

constexpr auto kTimeLimit = std::chrono::seconds(60);

[[noreturn]] void Fail(const char* what) {
  throw std::system_error(errno, std::generic_category(), what);
}

class Pipe {
 public:
  Pipe() {
    if (::pipe2(fds_.data(), O_CLOEXEC) != 0) {
      Fail("pipe2");
    }
  }
  ~Pipe() {
    CloseRead();
    CloseWrite();
  }
  Pipe(const Pipe&) = delete;
  Pipe& operator=(const Pipe&) = delete;
  [[nodiscard]] int read_end() const { return fds_[0]; }
  [[nodiscard]] int write_end() const { return fds_[1]; }
  void CloseRead() { Close(0); }
  void CloseWrite() { Close(1); }

 private:
  void Close(int end) {
    if (fds_[end] >= 0) {
      ::close(fds_[end]);
      fds_[end] = -1;
    }
  }
  std::array<int, 2> fds_{-1, -1};
};

}  // namespace

ScannerRun RunScanner(const std::vector<std::string>& args, const RunOptions& options) {
  std::string_view input = options.input;
  Pipe in;
  Pipe out;
  Pipe err;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (!options.input_file.empty()) {
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, options.input_file.c_str(), O_RDONLY,
                                     0);
  } else {
    posix_spawn_file_actions_adddup2(&actions, in.read_end(), STDIN_FILENO);
  }
  if (!options.output_file.empty()) {
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, options.output_file.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
  } else {
    posix_spawn_file_actions_adddup2(&actions, out.write_end(), STDOUT_FILENO);
  }
  posix_spawn_file_actions_adddup2(&actions, err.write_end(), STDERR_FILENO);
  if (!options.directory.empty()) {
    posix_spawn_file_actions_addchdir_np(&actions, options.directory.c_str());
  }
  // Our writes to its standard input may meet a closed pipe; its own writes
  // must see the default SIGPIPE.
  std::signal(SIGPIPE, SIG_IGN);  // NOLINT(cert-err33-c): cannot fail for SIGPIPE
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t default_signals;
  sigemptyset(&default_signals);
  sigaddset(&default_signals, SIGPIPE);
  posix_spawnattr_setsigdefault(&attributes, &default_signals);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);

  std::vector<std::string> strings{TELLTALE_SCAN_BINARY};
  strings.insert(strings.end(), args.begin(), args.end());
  std::vector<char*> argv;
  argv.reserve(strings.size() + 1);
  for (std::string& s : strings) {
    argv.push_back(s.data());
  }
  argv.push_back(nullptr);

  pid_t pid = 0;
  const int spawned =
      posix_spawn(&pid, TELLTALE_SCAN_BINARY, &actions, &attributes, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  if (spawned != 0) {
    errno = spawned;
    Fail("posix_spawn");
  }
  in.CloseRead();
  out.CloseWrite();
  err.CloseWrite();
  if (!options.input_file.empty() || input.empty()) {
    in.CloseWrite();
  } else {
    // A blocking write of all the input could wait on the scanner, which
    // waits on us to read its output.
    ::fcntl(in.write_end(), F_SETFL, O_NONBLOCK);
  }

  ScannerRun run;
  const auto deadline = std::chrono::steady_clock::now() + kTimeLimit;
  std::array<char, 65536> buffer{};
  bool out_open = true;
  bool err_open = true;
  while (out_open || err_open) {
    std::array<pollfd, 3> fds{{{out_open ? out.read_end() : -1, POLLIN, 0},
                               {err_open ? err.read_end() : -1, POLLIN, 0},
                               {in.write_end(), POLLOUT, 0}}};
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
      ::kill(pid, SIGKILL);
      ADD_FAILURE() << "telltale-scan did not finish in time";
      break;
    }
    if (::poll(fds.data(), fds.size(), static_cast<int>(left.count())) < 0 && errno != EINTR) {
      Fail("poll");
    }
    for (std::size_t k = 0; k < 2; ++k) {
      if ((fds[k].revents & (POLLIN | POLLHUP)) != 0) {
        const ssize_t got = ::read(fds[k].fd, buffer.data(), buffer.size());
        if (got > 0) {
          (k == 0 ? run.out : run.err).append(buffer.data(), static_cast<std::size_t>(got));
        } else {
          (k == 0 ? out_open : err_open) = false;
        }
      }
    }
    if ((fds[2].revents & (POLLOUT | POLLERR)) != 0) {
      const ssize_t written = ::write(in.write_end(), input.data(), input.size());
      if (written > 0) {
        input.remove_prefix(static_cast<std::size_t>(written));
      }
      if ((written < 0 && errno != EAGAIN) || input.empty()) {
        in.CloseWrite();
      }
    }
  }
  in.CloseWrite();
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) {
      Fail("waitpid");
    }
  }
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

RunOptions InDirectory(const std::filesystem::path& directory) {
  RunOptions options;
  options.directory = directory;
  return options;
}

RunOptions WithInput(std::string input) {
  RunOptions options;
  options.input = std::move(input);
  return options;
}

RunOptions WithInputFile(std::string input_file) {
  RunOptions options;
  options.input_file = std::move(input_file);
  return options;
}

RunOptions WithOutputFile(std::string output_file) {
  RunOptions options;
  options.output_file = std::move(output_file);
  return options;
}

std::vector<ScanFinding> FindingsOf(std::string_view content) {
  return ScanContent(telltale::testing::AsBytes(content));
}

std::string ExpectedLines(std::string_view path, std::string_view content) {
  std::string lines;
  for (const ScanFinding& f : FindingsOf(content)) {
    lines += std::string(path) + ":" + std::to_string(f.position) + ":" +
             std::string(f.rule->tool) + "\n";
  }
  return lines;
}

::testing::AssertionResult SameLines(const std::string& actual, const std::string& expected) {
  if (actual == expected) {
    return ::testing::AssertionSuccess();
  }
  std::size_t line_start = 0;
  std::size_t line = 1;
  const std::size_t common = std::min(actual.size(), expected.size());
  for (std::size_t i = 0; i < common && actual[i] == expected[i]; ++i) {
    if (actual[i] == '\n') {
      line_start = i + 1;
      ++line;
    }
  }
  const auto line_at = [&](const std::string& text) {
    return line_start < text.size()
               ? text.substr(line_start, text.find('\n', line_start) - line_start)
               : std::string("(end of output)");
  };
  return ::testing::AssertionFailure()
         << "outputs of " << actual.size() << " and " << expected.size() << " bytes differ at line "
         << line << ": got \"" << line_at(actual) << "\", expected \"" << line_at(expected) << "\"";
}

}  // namespace telltale::cli::testing
