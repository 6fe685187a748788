// SPDX-License-Identifier: Apache-2.0
// --files-from: more paths to scan, read from a file or standard input.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <csignal>
#include <filesystem>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "batch_in_process.h"
#include "scanner_process.h"

namespace telltale::cli::testing {
namespace {

// Writes `text` to the named pipe `path` once a reader has it open, and
// closes it. False when that is not done by `deadline`.
bool WriteToPipe(const std::string& path, std::string_view text,
                 std::chrono::steady_clock::time_point deadline) {
  const auto time_left = [&] {
    return std::chrono::duration_cast<std::chrono::milliseconds>(deadline -
                                                                 std::chrono::steady_clock::now())
        .count();
  };
  std::signal(SIGPIPE, SIG_IGN);  // NOLINT(cert-err33-c): a reader gone is a failed write
  int fd = -1;
  // Without a reader, opening it for writing fails at once (ENXIO).
  while ((fd = ::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC)) < 0) {
    if (errno != ENXIO || time_left() <= 0) {
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  while (!text.empty()) {
    pollfd ready{.fd = fd, .events = POLLOUT, .revents = 0};
    if (time_left() <= 0) {
      break;
    }
    if (::poll(&ready, 1, static_cast<int>(time_left())) <= 0) {
      continue;
    }
    const ssize_t written = ::write(fd, text.data(), text.size());
    if (written < 0 && errno != EAGAIN && errno != EINTR) {
      break;
    }
    text.remove_prefix(static_cast<std::size_t>(std::max<ssize_t>(written, 0)));
  }
  ::close(fd);
  return text.empty();
}

TEST(FilesFrom, ListedPathsFollowThoseGivenInTheirOrderWalkedAsGiven) {
  const TempDir dir;
  dir.Write("first", "CDN");
  dir.Write("b", "\xFF\xDB");
  dir.Write("b\r", "\xFF\xDB\xFF\xDB");  // a CR before the newline is part of the name
  std::filesystem::create_directory(dir.path() / "tree");
  dir.Write("tree/y", "cdn");
  dir.Write("tree/x", "");
  dir.Write("-", "CDN\xFF\xDB");                    // in a list, a file like any other
  dir.Write("list", "b\r\n\ntree\n-\nmissing\nb");  // the last name has no newline
  const ScannerRun run =
      RunScanner({"-r", "-c", "--files-from", "list", "first"}, InDirectory(dir.path()));
  EXPECT_EQ(run.out, "first:0:1\nb\r:2:0\ntree/x:0:0\ntree/y:0:1\n-:1:1\nb:1:0\n");
  EXPECT_EQ(run.err, "telltale-scan: missing: No such file or directory\n");
  EXPECT_EQ(run.status, 2);
}

TEST(FilesFrom, EveryListIsReadInTheOrderGiven) {
  const TempDir dir;
  dir.Write("a", "\xFF\xDB");
  dir.Write("b", "CDN");
  dir.Write("c", "");
  dir.Write("list 1", "b\na");
  dir.Write("list 2", "a\n");
  const BatchRun run =
      RunBatch({"-c", "--files-from", "list 1", "c", "--files-from=list 2"}, dir.path().string());
  EXPECT_EQ(run.out, "c:0:0\nb:0:1\na:1:0\na:1:0\n");
  EXPECT_EQ(run.status, 0);
}

TEST(FilesFrom, NamedPipesAreOpenedWhenTheirTurnComes) {
  // Opening a named pipe waits for its writer. A script that writes its
  // lists in turn, more than a pipe holds into the first, ends the first
  // only once it is read: the second list is not opened before then.
  const TempDir dir;
  dir.Write("a", "\xFF\xDB");
  dir.Write("b", "CDN");
  const std::string first = (dir.path() / "first").string();
  const std::string second = (dir.path() / "second").string();
  ASSERT_EQ(::mkfifo(first.c_str(), 0600), 0);
  ASSERT_EQ(::mkfifo(second.c_str(), 0600), 0);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  bool written = false;
  std::thread writer([&] {
    written = WriteToPipe(first, std::string(1 << 17, '\n') + "a\n", deadline) &&
              WriteToPipe(second, "b\n", deadline);
    if (!written) {
      // A reader still waiting to open either is let go.
      for (const std::string& pipe : {first, second}) {
        ::close(::open(pipe.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC));
      }
    }
  });
  const BatchRun run =
      RunBatch({"-c", "--files-from", first, "--files-from", second}, dir.path().string());
  writer.join();
  EXPECT_TRUE(written);
  EXPECT_EQ(run.out, "a:1:0\nb:0:1\n");
  EXPECT_EQ(run.status, 0);
}

TEST(FilesFrom, NullSeparatedFromStandardInput) {
  const TempDir dir;
  dir.Write("a\nb", "\xFF\xDB");
  dir.Write("c", "CDN");
  RunOptions options = InDirectory(dir.path());
  options.input = std::string("a\nb\0\0c\0", 7);
  const ScannerRun run = RunScanner({"--files-from=-", "-0", "--json"}, options);
  EXPECT_EQ(Records(run.out, {"finding"}),
            R"({"type":"finding","path":"a\u000ab","tool":"JPHide","position":1,"offset":0)"
            R"(,"context":"not a recognised format","explained":false})"
            "\n"
            R"({"type":"finding","path":"c","tool":"Hiderman","position":1,"offset":0)"
            R"(,"context":"not a recognised format","explained":false})"
            "\n");
  EXPECT_EQ(run.status, 0);
}

TEST(FilesFrom, EachNameIsScannedAsSoonAsItIsRead) {
  // A list written slowly, as by a search that takes its time: the first
  // name is scanned while the writer waits, not once a block is full or the
  // list has ended, and a name cut between two writes is read whole.
  const TempDir dir;
  const std::string first = (dir.path() / "first").string();
  const std::string second = (dir.path() / "second").string();
  BatchFedByPipe run({"-c"});
  run.Feed(first + "\n" + second.substr(0, 3));
  EXPECT_TRUE(run.ErrorsShow(first + ": No such file or directory\n"));
  run.Feed(second.substr(3) + "\n");
  const BatchRun end = run.End();
  EXPECT_EQ(end.err, "telltale-scan: " + first + ": No such file or directory\ntelltale-scan: " +
                         second + ": No such file or directory\n");
  EXPECT_EQ(end.status, 2);
}

TEST(FilesFrom, ANameLongerThanAnyPathIsRefusedAndTheListGoesOn) {
  // Names are numbered from 1 in the list, empty ones counted: with one a
  // line, the number is the line's.
  const TempDir dir;
  dir.Write("a", "\xFF\xDB");
  dir.Write("b", "CDN");
  const std::string too_long(PATH_MAX + 1, 'x');
  const std::string refusal =
      "name 3 is longer than " + std::to_string(PATH_MAX) + " bytes: File name too long";
  for (const char separator : {'\n', '\0'}) {
    std::string list = "a";
    list.append(2, separator).append(too_long).append(1, separator).append("b");
    dir.Write("list", list);
    std::vector<std::string> args{"--json", "--files-from", "list"};
    if (separator == '\0') {
      args.emplace_back("-0");
    }
    const BatchRun run = RunBatch(args, dir.path().string());
    EXPECT_EQ(Records(run.out, {"file", "error"}),
              R"({"type":"file","path":"a","bytes":2,"counts":{"JPHide":1,"Hiderman":0},)"
              R"("format":null,"changed":false,"access_time_kept":true})"
              "\n"
              R"({"type":"error","path":"list","error":")" +
                  refusal + R"(","errno":36})" +
                  "\n"
                  R"({"type":"file","path":"b","bytes":3,"counts":{"JPHide":0,"Hiderman":1},)"
                  R"("format":null,"changed":false,"access_time_kept":true})"
                  "\n");
    EXPECT_EQ(run.err, "telltale-scan: list: " + refusal + "\n");
    EXPECT_EQ(run.status, 2);
  }
}

TEST(FilesFrom, ANameTooLongIsRefusedBeforeItEnds) {
  // A list without separators, such as /dev/zero, is refused at once; the
  // rest of the name is passed over as it comes, never kept.
  const TempDir dir;
  const std::string first = (dir.path() / "first").string();
  const std::string second = (dir.path() / "second").string();
  BatchFedByPipe run({"-c"});
  run.Feed(first + "\n" + std::string(PATH_MAX + 1, 'x'));
  EXPECT_TRUE(run.ErrorsShow(": name 2 is longer than"));
  for (int i = 0; i < 64; ++i) {
    run.Feed(std::string(PATH_MAX, 'x'));
  }
  run.Feed("\n" + second + "\n");
  const BatchRun end = run.End();
  EXPECT_EQ(end.err, "telltale-scan: " + first + ": No such file or directory\ntelltale-scan: " +
                         run.list() + ": name 2 is longer than " + std::to_string(PATH_MAX) +
                         " bytes: File name too long\ntelltale-scan: " + second +
                         ": No such file or directory\n");
  EXPECT_EQ(end.status, 2);
}

TEST(FilesFrom, AListThatCannotBeOpenedStopsTheRun) {
  const TempDir dir;
  dir.Write("a", "\xFF\xDB");
  dir.Write("list", "a\n");
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"--files-from", "no list", "a"},
        std::vector<std::string>{"--files-from", "no list", "--files-from", "list", "a"}}) {
    const ScannerRun missing = RunScanner(args, InDirectory(dir.path()));
    EXPECT_EQ(missing.out, "");
    EXPECT_EQ(missing.err, "telltale-scan: no list: No such file or directory (error 2)\n");
    EXPECT_EQ(missing.status, 2);
  }
  // Standard input given as a list and as a path is a usage error, among
  // the others in the exit status tests.
}

}  // namespace
}  // namespace telltale::cli::testing
