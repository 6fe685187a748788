// SPDX-License-Identifier: Apache-2.0
// Exit statuses as grep's, and failures that are reported without stopping
// the rest of the batch.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <sstream>
#include <string>
#include <thread>
#include <unordered_set>
#include <vector>

#include "scanner_process.h"
#include "telltale/version.h"

namespace telltale::cli::testing {
namespace {

TEST(ExitStatus, ZeroWhenSomethingIsFoundOneWhenNothingTwoWhenAnyFileFails) {
  const TempDir dir;
  const std::string found = dir.Write("found", "..cdn..");
  const std::string plain = dir.Write("plain", "....");
  const std::string missing = (dir.path() / "missing").string();
  for (const char* format : {"--count", "--json", "-q"}) {
    EXPECT_EQ(RunScanner({format, plain, found}).status, 0) << format;
    EXPECT_EQ(RunScanner({format, plain, plain}).status, 1) << format;
    EXPECT_EQ(RunScanner({format, found, missing}).status, 2) << format;
  }
}

TEST(ExitStatus, CommandLineMistakesAreTwoAndNameTheOptionAsTyped) {
  struct Case {
    std::vector<std::string> args;
    std::string message;
  };
  const std::vector<Case> cases = {
      {{}, "no file to scan"},
      {{"--no-such-option", "x"}, "unknown option '--no-such-option'"},
      {{"--bogus=3", "x"}, "unknown option '--bogus'"},
      {{"-z", "x"}, "unknown option '-z'"},
      {{"--json", "-rz", "x"}, "unknown option '-z'"},
      {{"-\x1B[2J", "x"}, R"(unknown option '-'$'\033')"},
      {{"--j", "x"}, "option '--j' is ambiguous"},
      {{"--json=3", "x"}, "option '--json' takes no value"},
      {{"--count=", "x"}, "option '--count' takes no value"},
      {{"--version=3"}, "option '--version' takes no value"},
      {{"x", "--window-text"}, "option '--window-text' needs a value"},
      {{"x", "--jobs"}, "option '--jobs' needs a value"},
      {{"x", "-j"}, "option '-j' needs a value"},
      {{"-j", "0", "x"}, "invalid number of jobs '0' (1 to 1024)"},
      {{"-j", "two", "x"}, "invalid number of jobs 'two' (1 to 1024)"},
      {{"--json", "--count", "x"}, "--json and --count cannot be used together"},
      {{"--hash", "x"}, "--hash needs --count or --json, whose lines have room for the digest"},
      {{"-0", "--json", "x"},
       "--null and --json cannot be used together: JSON quotes names itself (with --files-from, "
       "--null only separates the names in the list)"},
      {{"--files-from", "-", "-"},
       "'-' is given as a path and as --files-from: standard input can be read only once"},
      {{"--files-from", "-", "--files-from=-", "x"},
       "'-' is given more than once: standard input can be read only once"},
  };
  for (const Case& c : cases) {
    const ScannerRun run = RunScanner(c.args);
    EXPECT_EQ(run.err, "telltale-scan: " + c.message +
                           "\nTry 'telltale-scan --help' for more information.\n");
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.status, 2);
  }
}

TEST(ExitStatus, VersionAndHelp) {
  const ScannerRun version = RunScanner({"--version"});
  EXPECT_EQ(version.out, std::string("telltale-scan ") + kVersion + "\n" + kCopyrightLines);
  EXPECT_EQ(version.status, 0);
  const ScannerRun help = RunScanner({"--help"});
  EXPECT_NE(help.out.find("Usage: telltale-scan [OPTIONS] PATH..."), std::string::npos);
  EXPECT_EQ(help.status, 0);
}

TEST(ExitStatus, AFailedWriteToStandardOutputIsNotSuccess) {
  const TempDir dir;
  const std::string found = dir.Write("found", "\xFF\xDB");
  const ScannerRun run = RunScanner({found}, WithOutputFile("/dev/full"));
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err.find("standard output: No space left on device"), std::string::npos) << run.err;
}

TEST(ExitStatus, AFailedWriteStopsTheScanAtOnce) {
  // Standard input is a pipe the scanner has to empty before it ends; its
  // first chunk alone makes more output than is gathered before a write.
  // The file after it, scanned by the other job, is stopped too, and neither
  // is reported as failed for it.
  const TempDir dir;
  std::string content;
  for (int i = 0; i < (16 << 20); ++i) {
    content += "\xFF\xDB";
  }
  const std::string file = dir.Write("file", content);
  RunOptions options = WithInput(content);
  options.output_file = "/dev/full";
  const ScannerRun run = RunScanner({"-j", "2", "-", file}, options);
  EXPECT_EQ(run.err, "telltale-scan: standard output: No space left on device (error 28)\n");
  EXPECT_EQ(run.status, 2);
  EXPECT_GT(run.input_left, content.size() / 2);
}

TEST(FailedFiles, AreReportedAndTheBatchGoesOn) {
  const TempDir dir;
  const std::string first = dir.Write("first", "\xFF\xDB");
  const std::string last = dir.Write("last", "CDN");
  const std::string missing = (dir.path() / "missing").string();
  const std::string directory = (dir.path() / "folder").string();
  const std::string fifo = (dir.path() / "fifo").string();
  ASSERT_TRUE(std::filesystem::create_directory(directory));
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);

  const ScannerRun run = RunScanner({"-j", "2", first, missing, directory, fifo, last});
  EXPECT_EQ(run.out, first + ":1:JPHide\n" + last + ":1:Hiderman\n");
  EXPECT_EQ(run.err, "telltale-scan: " + missing + ": No such file or directory\n" +
                         "telltale-scan: " + directory + ": Is a directory\n" +
                         "telltale-scan: " + fifo + ": Is a named pipe, not a regular file\n");
  EXPECT_EQ(run.status, 2);

  const ScannerRun json = RunScanner({"--json", first, missing, last});
  EXPECT_EQ(Records(json.out, {"finding", "error"}),
            R"({"type":"finding","path":")" + first +
                R"(","tool":"JPHide","position":1,"offset":0)"
                R"(,"context":"not a recognised format","explained":false})"
                "\n"
                R"({"type":"error","path":")" +
                missing +
                R"(","error":"No such file or directory","errno":2})"
                "\n"
                R"({"type":"finding","path":")" +
                last +
                R"(","tool":"Hiderman","position":1,"offset":0)"
                R"(,"context":"not a recognised format","explained":false})"
                "\n");
  EXPECT_EQ(json.status, 2);

  // Counts are given only for files that were read to their end.
  const ScannerRun counts = RunScanner({"-c", first, missing, last});
  EXPECT_EQ(counts.out, first + ":1:0\n" + last + ":0:1\n");
}

TEST(FailedFiles, AFileResizedWhileItIsScannedFailsCleanlyOrIsScanned) {
  const TempDir dir;
  const std::string content = RandomText(std::size_t{16} << 20, "abcdefghijklmnop\xFF\xDB", 5);
  const std::string path = dir.Write("changing", content);
  // Cut to half and grown back (with zeros), over and over, while it is
  // scanned: some scans find it shorter than it was when they opened it.
  const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
  ASSERT_GE(fd, 0);
  std::atomic<bool> stop{false};
  std::thread resizer([&] {
    const auto size = static_cast<off_t>(content.size());
    for (bool cut = true; !stop; cut = !cut) {
      ASSERT_EQ(::ftruncate(fd, cut ? size / 2 : size), 0);
    }
  });
  std::vector<std::string> args{"-q", "-j", "2"};
  args.insert(args.end(), 12, path);
  const ScannerRun run = RunScanner(args);
  stop = true;
  resizer.join();
  ::close(fd);

  ASSERT_TRUE(run.status == 0 || run.status == 2) << run.status << "\n" << run.err;
  // Zeros grown in never make a finding, and the half kept never changes.
  std::unordered_set<std::string> expected;
  std::istringstream expected_lines(ExpectedLines(path, content));
  for (std::string line; std::getline(expected_lines, line);) {
    expected.insert(line);
  }
  ASSERT_GT(expected.size(), 100U);
  std::istringstream findings(run.out);
  for (std::string line; std::getline(findings, line);) {
    EXPECT_TRUE(expected.contains(line)) << line;
  }
  // Found shorter while it is read, or changed before its second pass.
  const std::unordered_set<std::string> failures = {
      "telltale-scan: " + path + ": File shrank while it was being read",
      "telltale-scan: " + path + ": File changed while it was being read"};
  std::istringstream messages(run.err);
  for (std::string line; std::getline(messages, line);) {
    EXPECT_TRUE(failures.contains(line)) << line;
  }
}

TEST(FailedFiles, UnreadableFileIsReported) {
  if (::geteuid() == 0) {
    GTEST_SKIP() << "permissions do not stop root";
  }
  const TempDir dir;
  const std::string locked = dir.Write("locked", "\xFF\xDB");
  ASSERT_EQ(::chmod(locked.c_str(), 0), 0);
  const ScannerRun run = RunScanner({locked});
  EXPECT_EQ(run.err, "telltale-scan: " + locked + ": Permission denied\n");
  EXPECT_EQ(run.status, 2);
}

}  // namespace
}  // namespace telltale::cli::testing
