// SPDX-License-Identifier: Apache-2.0
// A file written to while it is scanned: its findings stand, and the run
// says that it changed.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <system_error>
#include <thread>

#include "scanner_process.h"
#include "telltale/sizes.h"

namespace telltale::cli::testing {
namespace {

namespace fs = std::filesystem;

// The bytes the process `pid` has read so far, all its threads together, as
// /proc/PID/io counts them; none where the system does not say.
std::optional<std::uint64_t> BytesRead(pid_t pid) {
  std::ifstream io(fs::path("/proc") / std::to_string(pid) / "io");
  std::string key;
  std::uint64_t value = 0;
  while (io >> key >> value) {
    if (key == "rchar:") {
      return value;
    }
  }
  return std::nullopt;
}

// Waits until the process `pid` has `path` open and has read its first
// chunk; fails the test if that takes a minute, when the run is given up
// anyway. The scanner notes a file's size and time between opening it and
// reading it: a change made before that read could be taken for the file as
// it was at the start.
void WaitUntilReading(pid_t pid, const fs::path& path) {
  const fs::path fds = fs::path("/proc") / std::to_string(pid) / "fd";
  const auto give_up = std::chrono::steady_clock::now() + std::chrono::minutes(1);
  const auto is_open = [&] {
    std::error_code error;
    for (const fs::directory_entry& fd : fs::directory_iterator(fds, error)) {
      if (fs::read_symlink(fd.path(), error) == path) {
        return true;
      }
    }
    return false;
  };
  while (std::chrono::steady_clock::now() < give_up) {
    if (is_open() && BytesRead(pid).value_or(kChunkSize) >= kChunkSize) {
      return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  ADD_FAILURE() << "telltale-scan never read " << path;
}

TEST(ChangedFile, IsReportedAfterItsFindingsAndFailsTheRun) {
  const TempDir dir;
  // Only JPHide markers: the file is read in one pass. Their lines fill the
  // output pipe long before the end, and the scanner waits there, the file
  // open, until its output is read.
  std::string content;
  for (int i = 0; i < 1 << 19; ++i) {
    content += "\xFF\xDB";
  }
  const std::string path = fs::canonical(dir.Write("f", content)).string();
  RunOptions options = WithInput("unread");
  time_t modified = 1000000;
  options.before_input_ends = [&](pid_t pid) {
    WaitUntilReading(pid, path);
    const std::array<timespec, 2> times{{{0, UTIME_OMIT}, {++modified, 0}}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times.data(), 0), 0);
  };

  const ScannerRun run = RunScanner({path}, options);
  EXPECT_TRUE(SameLines(run.out, ExpectedLines(path, content)));
  EXPECT_EQ(run.err, "telltale-scan: " + path + ": changed while it was being scanned\n");
  EXPECT_EQ(run.status, 2);

  const ScannerRun json = RunScanner({"--json", path}, options);
  const std::string findings = Records(json.out, {"finding"});
  EXPECT_EQ(std::count(findings.begin(), findings.end(), '\n'), 1 << 19);
  EXPECT_TRUE(Records(json.out, {"file"})
                  .starts_with(R"({"type":"file","path":")" + path +
                               R"(","bytes":1048576,)"
                               R"("counts":{"JPHide":524288,"Hiderman":0},)"
                               R"("format":null,"changed":true,)"));
  EXPECT_EQ(json.status, 2);
}

TEST(ChangedFile, BetweenThePassesFailsWithItsFirstPassFindingsInTheSummary) {
  // JPHide's findings come from the first pass, then the file changes
  // before the second pass reads the block that may hold a Hiderman marker.
  const TempDir dir;
  std::string content;
  for (int i = 0; i < 1 << 19; ++i) {
    content += "\xFF\xDB";
  }
  content += "CDN";
  const std::string path = fs::canonical(dir.Write("f", content)).string();
  RunOptions options = WithInput("unread");
  options.before_input_ends = [&](pid_t pid) {
    WaitUntilReading(pid, path);
    const std::array<timespec, 2> times{{{0, UTIME_OMIT}, {1000000, 0}}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times.data(), 0), 0);
  };

  const ScannerRun run = RunScanner({"--json", path}, options);
  const std::string findings = Records(run.out, {"finding"});
  EXPECT_EQ(std::count(findings.begin(), findings.end(), '\n'), 1 << 19);
  EXPECT_NE(Records(run.out, {"error"}).find("File changed while it was being read"),
            std::string::npos)
      << Records(run.out, {"error"});
  EXPECT_NE(Records(run.out, {"summary"}).find(R"("findings":{"JPHide":524288,"Hiderman":0})"),
            std::string::npos)
      << Records(run.out, {"summary"});
  EXPECT_EQ(run.status, 2);
}

}  // namespace
}  // namespace telltale::cli::testing
