// Walking directories: name order, no loops through links, special files
// skipped with a note and never waited on.
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

TEST(Recursion, LinksAndSpecialFilesNeitherLoopNorHang) {
  const TempDir dir;
  const fs::path root = dir.path() / "root";
  fs::create_directories(root / "sub");
  dir.Write("root/sub/image", "CDN");
  fs::create_directory_symlink("..", root / "sub" / "up");  // back to an ancestor
  fs::create_directory_symlink("sub", root / "also-sub");   // a second way in
  fs::create_symlink("loop-b", root / "loop-a");            // a loop of links
  fs::create_symlink("loop-a", root / "loop-b");
  fs::create_symlink("nowhere", root / "dangling");
  fs::create_symlink("sub/image", root / "link-to-image");  // a file: scanned
  ASSERT_EQ(::mkfifo((root / "pipe").c_str(), 0600), 0);
  fs::create_symlink("pipe", root / "link-to-pipe");

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
  EXPECT_EQ(run.out, "root/link-to-image:1:Hiderman\nroot/sub/image:1:Hiderman\n");
  EXPECT_EQ(run.err,
            "telltale-scan: root/also-sub: skipped, symbolic link to a directory\n"
            "telltale-scan: root/dangling: skipped, broken symbolic link (No such file or "
            "directory)\n"
            "telltale-scan: root/link-to-pipe: skipped, symbolic link to a named pipe\n"
            "telltale-scan: root/loop-a: skipped, broken symbolic link (Too many levels of "
            "symbolic links)\n"
            "telltale-scan: root/loop-b: skipped, broken symbolic link (Too many levels of "
            "symbolic links)\n"
            "telltale-scan: root/pipe: skipped, a named pipe\n"
            "telltale-scan: root/socket: skipped, a socket\n"
            "telltale-scan: root/sub/up: skipped, symbolic link to a directory\n");
  // Skipped files are not failures.
  EXPECT_EQ(run.status, 0);
}

TEST(Recursion, SkipsAreRecordsInJson) {
  const TempDir dir;
  fs::create_directories(dir.path() / "root" / "sub");
  dir.Write("root/image", "CDN");
  fs::create_directory_symlink("sub", dir.path() / "root" / "link");
  ASSERT_EQ(::mkfifo((dir.path() / "root" / "pipe").c_str(), 0600), 0);
  const ScannerRun run = RunScanner({"--json", "-r", "root"}, InDirectory(dir.path()));
  EXPECT_EQ(run.out,
            "{\"path\":\"root/image\",\"tool\":\"Hiderman\",\"position\":1}\n"
            "{\"path\":\"root/link\",\"skipped\":\"symbolic link to a directory\"}\n"
            "{\"path\":\"root/pipe\",\"skipped\":\"a named pipe\"}\n");
  EXPECT_EQ(run.err,
            "telltale-scan: root/link: skipped, symbolic link to a directory\n"
            "telltale-scan: root/pipe: skipped, a named pipe\n");
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
