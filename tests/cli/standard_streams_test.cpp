// SPDX-License-Identifier: Apache-2.0
// Standard streams closed when telltale-scan starts: no file it opens takes
// their numbers, "-" then fails alone, and output that cannot be written is
// a failure.
#include <gtest/gtest.h>
#include <unistd.h>

#include <array>
#include <string>
#include <vector>

#include "scanner_process.h"

namespace telltale::cli::testing {
namespace {

std::string DescriptorTarget(pid_t pid, int fd) {
  const std::string link = "/proc/" + std::to_string(pid) + "/fd/" + std::to_string(fd);
  std::array<char, 4096> target{};
  const ssize_t length = ::readlink(link.c_str(), target.data(), target.size());
  return length < 0 ? "(no descriptor " + std::to_string(fd) + ")"
                    : std::string(target.data(), static_cast<std::size_t>(length));
}

// Standard input with more Hiderman positions than are held in memory makes
// the scanner open a temporary file, the lowest free number, and keep it
// while it waits for the rest of its input.
TEST(ClosedStandardStreams, TheTemporaryFileTakesNeitherOutputNorErrorsPlace) {
  std::string content;
  for (int i = 0; i < 2'000'000; ++i) {
    content += "CDN";
  }
  const std::string expected = ExpectedLines("(standard input)", content);
  for (const int closed : {STDOUT_FILENO, STDERR_FILENO}) {
    RunOptions options = WithInput(content);
    options.closed = {closed};
    std::string target;
    options.before_input_ends = [&](pid_t pid) { target = DescriptorTarget(pid, closed); };
    const ScannerRun run = RunScanner({"-"}, options);
    EXPECT_EQ(target, "/dev/null") << "descriptor " << closed;
    if (closed == STDERR_FILENO) {
      EXPECT_TRUE(SameLines(run.out, expected));
      EXPECT_EQ(run.status, 0);
    } else {
      // Findings that cannot be printed are not a success.
      EXPECT_EQ(run.err, "telltale-scan: standard output: Bad file descriptor (error 9)\n");
      EXPECT_EQ(run.status, 2);
    }
  }
}

TEST(ClosedStandardStreams, ClosedStandardInputFailsOnlyItself) {
  // With several jobs, one opens a file while another comes to "-": a file
  // that took descriptor 0 would be read as standard input. Whether one has
  // taken it at that moment is down to timing, so the run is made a few
  // times.
  const TempDir dir;
  std::string content;
  for (int i = 0; i < 256; ++i) {
    content += "\xFF\xDB";
    content.append(4094, '.');
  }
  std::vector<std::string> args{"-j", "8"};
  std::string expected;
  for (int i = 0; i < 16; ++i) {
    std::string name = "f";
    name += std::to_string(i);
    args.push_back(dir.Write(name, content));
    expected += ExpectedLines(args.back(), content);
  }
  args.emplace_back("-");
  RunOptions options;
  options.closed = {STDIN_FILENO};
  for (int attempt = 0; attempt < 5; ++attempt) {
    const ScannerRun run = RunScanner(args, options);
    ASSERT_TRUE(SameLines(run.out, expected)) << "attempt " << attempt;
    ASSERT_EQ(run.err, "telltale-scan: (standard input): Bad file descriptor\n");
    ASSERT_EQ(run.status, 2);
  }
}

}  // namespace
}  // namespace telltale::cli::testing
