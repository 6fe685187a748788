// SPDX-License-Identifier: Apache-2.0
// Walking directories: name order, links met skipped or with -L followed
// without looping, special files skipped with a note and never waited on.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "scanner_process.h"

namespace telltale::cli::testing {
namespace {

namespace fs = std::filesystem;

TEST(Recursion, WalksEachDirectoryInByteOrderOfNames) {
  const TempDir dir;
  fs::create_directories(dir.path() / "tree" / "a");
  fs::create_directories(dir.path() / "tree" / "a.d");
  // Byte order of the names; "a.d/x" before "a/y" would be the order of
  // whole paths, which is wrong.
  const std::vector<std::string> in_order = {"tree/B",     "tree/_", "tree/a/y",
                                             "tree/a.d/x", "tree/b", "tree/\xC3\xA9"};
  std::string expected;
  for (const std::string& name : in_order) {
    dir.Write(name, "\xFF\xDB");
    expected += name + ":1:JPHide\n";
  }
  for (const char* jobs : {"1", "3"}) {
    const ScannerRun run = RunScanner({"-r", "-j", jobs, "tree"}, InDirectory(dir.path()));
    EXPECT_EQ(run.out, expected) << "-j " << jobs;
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.status, 0);
  }
  // Without -r a directory is not a file.
  const ScannerRun flat = RunScanner({"tree"}, InDirectory(dir.path()));
  EXPECT_EQ(flat.err, "telltale-scan: tree: Is a directory\n");
  EXPECT_EQ(flat.status, 2);
}

TEST(Recursion, LinksMetInAWalkAreSkippedAndSpecialFilesNeverWaitedOn) {
  const TempDir dir;
  const fs::path root = dir.path() / "root";
  fs::create_directories(root / "sub");
  fs::create_directories(dir.path() / "elsewhere");
  dir.Write("root/sub/image", "CDN");
  dir.Write("elsewhere/secret", "CDN");
  fs::create_directory_symlink("..", root / "sub" / "up");         // back to an ancestor
  fs::create_directory_symlink("../elsewhere", root / "out-dir");  // out of the tree
  fs::create_symlink("../elsewhere/secret", root / "out-file");
  fs::create_symlink("sub/image", root / "link-to-image");
  fs::create_symlink("nowhere", root / "dangling");
  ASSERT_EQ(::mkfifo((root / "pipe").c_str(), 0600), 0);

  const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
  ASSERT_GE(sock, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  const std::string socket_path = (root / "socket").string();
  ASSERT_LT(socket_path.size(), sizeof(address.sun_path));
  std::memcpy(address.sun_path, socket_path.c_str(), socket_path.size() + 1);
  ASSERT_EQ(::bind(sock, reinterpret_cast<const sockaddr*>(&address), sizeof(address)), 0);

  const ScannerRun run = RunScanner({"-r", "root"}, InDirectory(dir.path()));
  ::close(sock);
  EXPECT_EQ(run.out, "root/sub/image:1:Hiderman\n");
  EXPECT_EQ(run.err,
            "telltale-scan: root/dangling: skipped, symbolic link\n"
            "telltale-scan: root/link-to-image: skipped, symbolic link\n"
            "telltale-scan: root/out-dir: skipped, symbolic link\n"
            "telltale-scan: root/out-file: skipped, symbolic link\n"
            "telltale-scan: root/pipe: skipped, a named pipe\n"
            "telltale-scan: root/socket: skipped, a socket\n"
            "telltale-scan: root/sub/up: skipped, symbolic link\n");
  // Skipped files are not failures.
  EXPECT_EQ(run.status, 0);
}

TEST(Recursion, FollowedLinksAreWalkedAndALoopIsSkipped) {
  const TempDir dir;
  const fs::path root = dir.path() / "root";
  fs::create_directories(root / "sub");
  fs::create_directories(dir.path() / "elsewhere");
  dir.Write("root/sub/image", "CDN");
  dir.Write("elsewhere/secret", "\xFF\xDB");
  fs::create_directory_symlink("..", root / "sub" / "up");  // back to the top
  fs::create_directory_symlink("../elsewhere", root / "out");
  fs::create_symlink("sub/image", root / "link-to-image");
  for (const char* follow : {"-L", "--follow"}) {
    const ScannerRun run = RunScanner({"-r", follow, "root"}, InDirectory(dir.path()));
    EXPECT_EQ(run.out,
              "root/link-to-image:1:Hiderman\n"
              "root/out/secret:1:JPHide\n"
              "root/sub/image:1:Hiderman\n")
        << follow;
    EXPECT_EQ(run.err, "telltale-scan: root/sub/up: skipped, a loop back to root\n") << follow;
    EXPECT_EQ(run.status, 0) << follow;
  }
}

TEST(Recursion, ALinkThatLeadsNowhereIsAFailure) {
  const TempDir dir;
  const fs::path root = dir.path() / "root";
  fs::create_directories(root);
  dir.Write("root/image", "CDN");
  fs::create_symlink("nowhere", root / "dangling");
  fs::create_symlink("loop-b", root / "loop-a");  // a loop of links
  fs::create_symlink("loop-a", root / "loop-b");

  const ScannerRun followed = RunScanner({"--json", "-r", "-L", "root"}, InDirectory(dir.path()));
  const std::string loop_error = R"(","error":"Too many levels of symbolic links","errno":40})"
                                 "\n";
  const std::string loop_a = R"({"type":"error","path":"root/loop-a)" + loop_error;
  const std::string image_finding =
      R"({"type":"finding","path":"root/image","tool":"Hiderman","position":1,"offset":0)"
      R"(,"context":"not a recognised format","explained":false})"
      "\n";
  std::string walked =
      R"({"type":"error","path":"root/dangling","error":"No such file or directory","errno":2})"
      "\n";
  walked += image_finding;
  walked += loop_a;
  walked += R"({"type":"error","path":"root/loop-b)" + loop_error;
  EXPECT_EQ(Records(followed.out, {"finding", "error"}), walked);
  EXPECT_EQ(followed.status, 2);

  // Named on the command line, with or without -r.
  for (const bool recursive : {false, true}) {
    std::vector<std::string> args = {"--json", "root/loop-a", "root/image"};
    if (recursive) {
      args.insert(args.begin(), "-r");
    }
    const ScannerRun named = RunScanner(args, InDirectory(dir.path()));
    EXPECT_EQ(Records(named.out, {"finding", "error"}), loop_a + image_finding) << recursive;
    EXPECT_EQ(named.status, 2) << recursive;
  }
}

// Makes `depth` directories named `name`, one in the other, in the directory
// open as `top`, and "file" holding `content` in the deepest: paths too long
// for the system to take.
void MakeChain(int top, const std::string& name, int depth, const std::string& content) {
  int fd = ::fcntl(top, F_DUPFD_CLOEXEC, 0);
  ASSERT_GE(fd, 0);
  for (int i = 0; i < depth; ++i) {
    ASSERT_EQ(::mkdirat(fd, name.c_str(), 0700), 0);
    const int next = ::openat(fd, name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ::close(fd);
    ASSERT_GE(next, 0);
    fd = next;
  }
  const int file = ::openat(fd, "file", O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  ::close(fd);
  ASSERT_GE(file, 0);
  ASSERT_EQ(::write(file, content.data(), content.size()), static_cast<ssize_t>(content.size()));
  ::close(file);
}

// Removes what MakeChain made, deepest first.
void RemoveChain(int top, const std::string& name, int depth) {
  std::vector<int> fds{::fcntl(top, F_DUPFD_CLOEXEC, 0)};
  for (int i = 0; i < depth && fds.back() >= 0; ++i) {
    fds.push_back(::openat(fds.back(), name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  }
  ::unlinkat(fds.back(), "file", 0);
  while (fds.size() > 1) {
    ::close(fds.back());
    fds.pop_back();
    ::unlinkat(fds.back(), name.c_str(), AT_REMOVEDIR);
  }
  ::close(fds.back());
}

TEST(Recursion, AWalkGoesDeeperThanTheLongestPath) {
  const TempDir dir;
  const std::string name(200, 'd');
  constexpr int kDepth = 30;  // 6,000 bytes of path, more than PATH_MAX
  const int top = ::open(dir.path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  ASSERT_GE(top, 0);
  MakeChain(top, name, kDepth, "CDN");
  std::string path = ".";
  for (int i = 0; i < kDepth; ++i) {
    path += "/" + name;
  }
  path += "/file";
  const ScannerRun run = RunScanner({"-r", "."}, InDirectory(dir.path()));
  RemoveChain(top, name, kDepth);
  ::close(top);
  EXPECT_EQ(run.out, path + ":1:Hiderman\n");
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.status, 0);
}

TEST(Recursion, ALinkToADirectoryNamedOnTheCommandLineIsWalked) {
  const TempDir dir;
  fs::create_directories(dir.path() / "real");
  dir.Write("real/f", "cdn");
  fs::create_directory_symlink("real", dir.path() / "named");
  const ScannerRun run = RunScanner({"-r", "named", "real/f"}, InDirectory(dir.path()));
  EXPECT_EQ(run.out, "named/f:1:Hiderman\nreal/f:1:Hiderman\n");
  EXPECT_EQ(run.status, 0);
}

TEST(Recursion, UnreadableDirectoryIsAFailureAndTheWalkGoesOn) {
  if (::geteuid() == 0) {
    GTEST_SKIP() << "permissions do not stop root";
  }
  const TempDir dir;
  fs::create_directories(dir.path() / "top" / "closed");
  dir.Write("top/z", "CDN");
  ASSERT_EQ(::chmod((dir.path() / "top" / "closed").c_str(), 0), 0);
  const ScannerRun run = RunScanner({"-r", "top"}, InDirectory(dir.path()));
  ::chmod((dir.path() / "top" / "closed").c_str(), 0700);
  EXPECT_EQ(run.out, "top/z:1:Hiderman\n");
  EXPECT_EQ(run.err, "telltale-scan: top/closed: Permission denied\n");
  EXPECT_EQ(run.status, 2);
}

}  // namespace
}  // namespace telltale::cli::testing
