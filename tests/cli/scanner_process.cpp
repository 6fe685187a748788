// SPDX-License-Identifier: Apache-2.0
#include "scanner_process.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <stdexcept>
#include <system_error>
#include <utility>

namespace telltale::cli::testing {
namespace {

constexpr auto kTimeLimit = std::chrono::seconds(60);

constexpr uid_t kNobody = 65534;

[[noreturn]] void Fail(const char* what) {
  throw std::system_error(errno, std::generic_category(), what);
}

class Descriptor {
 public:
  explicit Descriptor(int fd = -1) : fd_(fd) {}
  ~Descriptor() { Close(); }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  [[nodiscard]] int get() const { return fd_; }
  void Reset(int fd) {
    Close();
    fd_ = fd;
  }
  void Close() {
    if (fd_ >= 0) {
      ::close(fd_);
      fd_ = -1;
    }
  }

 private:
  int fd_;
};

class Pipe {
 public:
  Pipe() {
    std::array<int, 2> fds{-1, -1};
    if (::pipe2(fds.data(), O_CLOEXEC) != 0) {
      Fail("pipe2");
    }
    read_.Reset(fds[0]);
    write_.Reset(fds[1]);
  }
  [[nodiscard]] int read_end() const { return read_.get(); }
  [[nodiscard]] int write_end() const { return write_.get(); }
  void CloseRead() { read_.Close(); }
  void CloseWrite() { write_.Close(); }

 private:
  Descriptor read_;
  Descriptor write_;
};

// A pseudo-terminal in raw mode, so that what is written to its terminal end
// comes out of the other unchanged.
class Terminal {
 public:
  Terminal() {
    controller_.Reset(::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC));
    if (controller_.get() < 0 || ::grantpt(controller_.get()) != 0 ||
        ::unlockpt(controller_.get()) != 0) {
      Fail("posix_openpt");
    }
    std::array<char, 128> name{};
    if (::ptsname_r(controller_.get(), name.data(), name.size()) != 0) {
      Fail("ptsname_r");
    }
    terminal_.Reset(::open(name.data(), O_RDWR | O_NOCTTY | O_CLOEXEC));
    termios mode{};
    if (terminal_.get() < 0 || ::tcgetattr(terminal_.get(), &mode) != 0) {
      Fail("pseudo-terminal");
    }
    ::cfmakeraw(&mode);
    if (::tcsetattr(terminal_.get(), TCSANOW, &mode) != 0) {
      Fail("tcsetattr");
    }
  }
  [[nodiscard]] int controller() const { return controller_.get(); }
  [[nodiscard]] int terminal() const { return terminal_.get(); }
  void CloseTerminal() { terminal_.Close(); }

 private:
  Descriptor controller_;
  Descriptor terminal_;
};

// What the child does between fork and exec. Only calls that are safe in the
// child of a process with threads are made there, so everything is prepared
// before the fork.
struct ChildSetup {
  int binary = -1;                          // the program, opened
  std::array<int, 3> standard{-1, -1, -1};  // what becomes descriptors 0 to 2; -1 closes it
  const char* input_file = nullptr;         // opened as descriptor 0 instead
  const char* output_file = nullptr;        // opened as descriptor 1 instead
  const char* directory = nullptr;
  bool one_thread = false;
  rlim_t open_files = 0;
  char* const* argv = nullptr;
  char* const* envp = nullptr;
};

[[noreturn]] void NotStarted(const char* why) {
  ::write(STDERR_FILENO, why, std::strlen(why));
  ::_exit(kNotStarted);
}

void OpenAs(int fd, const char* path, int flags) {
  const int opened = ::open(path, flags, 0644);
  if (opened < 0 || ::dup2(opened, fd) != fd) {
    NotStarted("cannot open a file for a standard stream");
  }
  ::close(opened);
}

[[noreturn]] void StartChild(const ChildSetup& setup) {
  for (int fd = 0; fd < 3; ++fd) {
    if (setup.standard.at(fd) >= 0) {
      ::dup2(setup.standard.at(fd), fd);  // the copy is left open across exec
    } else {
      ::close(fd);
    }
  }
  if (setup.input_file != nullptr) {
    OpenAs(STDIN_FILENO, setup.input_file, O_RDONLY);
  }
  if (setup.output_file != nullptr) {
    OpenAs(STDOUT_FILENO, setup.output_file, O_WRONLY | O_CREAT | O_TRUNC);
  }
  if (setup.directory != nullptr && ::chdir(setup.directory) != 0) {
    NotStarted("cannot enter the working directory");
  }
  if (setup.one_thread) {
    // The process limit counts every thread of the user's; root passes it.
    if (::geteuid() == 0 && ::setuid(kNobody) != 0) {
      NotStarted("cannot leave root");
    }
    const rlimit one{1, 1};
    if (::setrlimit(RLIMIT_NPROC, &one) != 0) {
      NotStarted("cannot limit the processes");
    }
  }
  if (setup.open_files != 0) {
    const rlimit files{setup.open_files, setup.open_files};
    if (::setrlimit(RLIMIT_NOFILE, &files) != 0) {
      NotStarted("cannot limit the open files");
    }
  }
  // We ignore SIGPIPE; telltale-scan must see the default.
  struct sigaction default_action {};
  default_action.sa_handler = SIG_DFL;
  ::sigaction(SIGPIPE, &default_action, nullptr);
  ::fexecve(setup.binary, setup.argv, setup.envp);
  NotStarted("cannot execute telltale-scan");
}

}  // namespace

ScannerRun RunScanner(const std::vector<std::string>& args, const RunOptions& options) {
  std::string_view input = options.input;
  Pipe in;
  Pipe out;
  Pipe err;
  std::optional<Terminal> terminal;
  if (options.output_terminal) {
    terminal.emplace();
  }
  // Opened here, so that no directory on its path need be open to the user
  // it may run as.
  const Descriptor binary(::open(TELLTALE_SCAN_BINARY, O_RDONLY | O_CLOEXEC));
  if (binary.get() < 0) {
    Fail(TELLTALE_SCAN_BINARY);
  }
  std::vector<std::string> strings{TELLTALE_SCAN_BINARY};
  strings.insert(strings.end(), args.begin(), args.end());
  std::vector<char*> argv;
  argv.reserve(strings.size() + 1);
  for (std::string& s : strings) {
    argv.push_back(s.data());
  }
  argv.push_back(nullptr);

  // Our environment, but where the scanner may have no thread to spare: a
  // leak checker built in would need one of its own at exit, and fail.
  std::vector<std::string> variables;
  for (char** variable = environ; *variable != nullptr; ++variable) {
    if (!options.one_thread || std::strncmp(*variable, "ASAN_OPTIONS=", 13) != 0) {
      variables.emplace_back(*variable);
    }
  }
  if (options.one_thread) {
    const char* asan = std::getenv("ASAN_OPTIONS");  // NOLINT(concurrency-mt-unsafe)
    variables.push_back(std::string("ASAN_OPTIONS=") + (asan != nullptr ? asan : "") +
                        ":detect_leaks=0");
  }
  std::vector<char*> envp;
  envp.reserve(variables.size() + 1);
  for (std::string& variable : variables) {
    envp.push_back(variable.data());
  }
  envp.push_back(nullptr);

  ChildSetup setup;
  setup.binary = binary.get();
  setup.standard = {in.read_end(), terminal ? terminal->terminal() : out.write_end(),
                    err.write_end()};
  for (const int fd : options.closed) {
    setup.standard.at(fd) = -1;
  }
  if (!options.input_file.empty()) {
    setup.input_file = options.input_file.c_str();
  }
  if (!options.output_file.empty()) {
    setup.output_file = options.output_file.c_str();
  }
  if (!options.directory.empty()) {
    setup.directory = options.directory.c_str();
  }
  setup.one_thread = options.one_thread;
  setup.open_files = options.open_files;
  setup.argv = argv.data();
  setup.envp = envp.data();

  // Our writes to its standard input may meet a closed pipe.
  std::signal(SIGPIPE, SIG_IGN);  // NOLINT(cert-err33-c): cannot fail for SIGPIPE
  const pid_t pid = ::fork();
  if (pid < 0) {
    Fail("fork");
  }
  if (pid == 0) {
    StartChild(setup);
  }
  in.CloseRead();
  out.CloseWrite();
  err.CloseWrite();
  if (terminal) {
    terminal->CloseTerminal();
  }
  // Its output: from the terminal, which reports its end as EIO, like an
  // error, once the scanner has gone.
  const int out_fd = terminal ? terminal->controller() : out.read_end();
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
    std::array<pollfd, 3> fds{{{out_open ? out_fd : -1, POLLIN, 0},
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
      if (input.empty() && options.before_input_ends) {
        options.before_input_ends(pid);
      }
      if ((written < 0 && errno != EAGAIN) || input.empty()) {
        in.CloseWrite();
      }
    }
  }
  in.CloseWrite();
  run.input_left = input.size();
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

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t end = 0; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
    lines.push_back(text.substr(start, end - start));
  }
  return lines;
}

std::string ExpectedLines(std::string_view path, std::string_view content) {
  std::string lines;
  for (const ScanFinding& f : FindingsOf(content)) {
    lines += std::string(path) + ":" + std::to_string(f.position) + ":" +
             std::string(f.rule->tool) + "\n";
  }
  return lines;
}

std::string Records(const std::string& out, std::initializer_list<std::string_view> types) {
  std::string kept;
  std::size_t start = 0;
  while (start < out.size()) {
    const std::size_t end = std::min(out.find('\n', start), out.size() - 1) + 1;
    const std::string_view line(out.data() + start, end - start);
    for (const std::string_view type : types) {
      if (line.starts_with(R"({"type":")" + std::string(type) + R"(",)")) {
        kept += line;
      }
    }
    start = end;
  }
  return kept;
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
