// SPDX-License-Identifier: Apache-2.0
// A Run from the sink's side: which texts, in which order, and how it fails.
#include "telltale/run_scan.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "telltale/scan_error.h"
#include "test_support.h"

namespace telltale {
namespace {

using testing::RecordingSink;
using testing::TempDir;
using Strings = std::vector<std::string>;

std::string Selection(const std::string& path) {
  return "You Selected " + path + " to be opened. Sorry no Steg found.";
}

std::string Report(unsigned long long position, const char* tool_line) {
  return "\r\nSteganography found at marker position " + std::to_string(position) + "\r\n" +
         tool_line;
}

constexpr const char* kJPHide = "JPHide program detected!";
constexpr const char* kHiderman = "Hiderman program detected!";

TEST(RunScanTexts, NoMarkerLeavesTheSelectionReport) {
  const TempDir dir;
  const std::string path = dir.Write("plain.txt", "nothing to see here\n");
  RecordingSink sink;
  RunScan(path, sink);
  EXPECT_EQ(sink.texts, Strings{Selection(path)});
}

TEST(RunScanTexts, OneTextPerFindingInScanOrder) {
  const TempDir dir;
  const std::string path = dir.Write("both.bin", "CDN..\xFF\xDB..\xFF\xDB");
  RecordingSink sink;
  RunScan(path, sink);
  EXPECT_EQ(sink.texts, (Strings{Selection(path), Report(6, kJPHide), Report(10, kJPHide),
                                 Report(1, kHiderman)}));
}

TEST(RunScanTexts, EmptyFileKeepsTheSelectionReport) {
  const TempDir dir;
  const std::string path = dir.Write("empty", "");
  RecordingSink sink;
  RunScan(path, sink);
  EXPECT_EQ(sink.texts, Strings{Selection(path)});
}

TEST(RunScanTexts, TheNameIsOpenedAsTheBytesGiven) {
  const TempDir dir;
  // Latin-1 é: not valid UTF-8.
  const std::string path = dir.Write("caf\xE9.jpg", "\xFF\xDB");
  RecordingSink sink;
  RunScan(path, sink);
  EXPECT_EQ(sink.texts, (Strings{Selection(path), Report(1, kJPHide)}));
}

TEST(RunScanTexts, EachRunStartsAfresh) {
  const TempDir dir;
  const std::string first = dir.Write("a", "\xFF\xDB");
  const std::string second = dir.Write("b", "none");
  RecordingSink sink;
  RunScan(first, sink);
  RunScan(second, sink);
  EXPECT_EQ(sink.texts, (Strings{Selection(first), Report(1, kJPHide), Selection(second)}));
}

// Runs a Run that must fail; returns its error after checking that the
// selection report was the only text set.
std::error_code FailingRun(const std::string& path) {
  RecordingSink sink;
  try {
    RunScan(path, sink);
  } catch (const std::system_error& e) {
    EXPECT_EQ(sink.texts, Strings{Selection(path)});
    EXPECT_NE(std::string(e.what()).find(e.code().message()), std::string::npos);
    return e.code();
  }
  ADD_FAILURE() << "the Run on '" << path << "' did not fail";
  return {};
}

TEST(RunScanFailures, MissingFileOrEmptyName) {
  const TempDir dir;
  EXPECT_EQ(FailingRun((dir.path() / "absent").string()), std::errc::no_such_file_or_directory);
  EXPECT_EQ(FailingRun(""), std::errc::no_such_file_or_directory);
  // Opening creates nothing.
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "absent"));
}

TEST(RunScanFailures, NameWithANulByteIsRefusedNotShortened) {
  const TempDir dir;
  const std::string path = dir.Write("real", "\xFF\xDB");
  EXPECT_EQ(FailingRun(path + std::string("\0.txt", 5)), std::errc::invalid_argument);
}

TEST(RunScanFailures, DirectoriesFifosAndDevicesAreRefusedAtOnce) {
  const TempDir dir;
  EXPECT_EQ(FailingRun(dir.path().string()), std::errc::is_a_directory);
  const std::string fifo = (dir.path() / "pipe").string();
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  // With no writer, a blocking open or read would hang this test forever.
  EXPECT_EQ(FailingRun(fifo), make_error_code(ScanErrc::kNamedPipe));
  EXPECT_EQ(FailingRun("/dev/zero"), make_error_code(ScanErrc::kCharacterDevice));
}

TEST(RunScanFailures, ErrorsNameTheFile) {
  const std::string path = "/nonexistent/telltale/file.jpg";
  RecordingSink sink;
  try {
    RunScan(path, sink);
    FAIL() << "no failure";
  } catch (const std::system_error& e) {
    EXPECT_STREQ(e.what(), "/nonexistent/telltale/file.jpg: No such file or directory");
  }
}

TEST(RunScanFailures, UnreadableFileFailsWithPermissionDenied) {
  const TempDir dir;
  const std::string path = dir.Write("secret", "\xFF\xDB");
  ASSERT_EQ(::chmod(path.c_str(), 0), 0);
  ASSERT_EQ(::chmod(dir.path().c_str(), 0755), 0);
  // Root reads anything, so the Run is made by an unprivileged child.
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (::geteuid() == 0 && ::setuid(65534) != 0) {
      ::_exit(3);
    }
    RecordingSink sink;
    try {
      RunScan(path, sink);
    } catch (const std::system_error& e) {
      ::_exit(e.code() == std::errc::permission_denied && sink.texts.size() == 1 ? 0 : 1);
    }
    ::_exit(2);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "1: wrong error, 2: no error, 3: could not drop root";
}

TEST(RunScanFailures, FailuresCloseTheFile) {
  const TempDir dir;
  const std::string path = dir.Write("shrinking", "");
  // Count open descriptors before and after many failing Runs.
  auto open_descriptors = [] {
    return std::distance(std::filesystem::directory_iterator("/proc/self/fd"),
                         std::filesystem::directory_iterator{});
  };
  const auto before = open_descriptors();
  for (int i = 0; i < 50; ++i) {
    FailingRun(dir.path().string());
  }
  EXPECT_EQ(open_descriptors(), before);
}

// A sink that refuses the n-th text, as a box that cannot take it would.
class RefusingSink : public ResultsSink {
 public:
  explicit RefusingSink(int refuse_at) : refuse_at_(refuse_at) {}
  void SetText(std::string_view /*text*/) override {
    if (++calls_ == refuse_at_) {
      throw std::system_error(std::make_error_code(std::errc::not_enough_memory), "sink");
    }
  }

 private:
  int refuse_at_;
  int calls_ = 0;
};

TEST(RunScanFailures, SinkFailuresLeaveTheRun) {
  const TempDir dir;
  const std::string path = dir.Write("two", "\xFF\xDB\xFF\xDB");
  RefusingSink sink(2);
  EXPECT_THROW(RunScan(path, sink), std::system_error);
}

}  // namespace
}  // namespace telltale
