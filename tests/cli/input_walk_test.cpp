// SPDX-License-Identifier: Apache-2.0
// The walk itself, changed under it while it runs.
#include "cli/input_walk.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "test_support.h"

namespace telltale::cli {
namespace {

namespace fs = std::filesystem;
using telltale::testing::TempDir;

TEST(InputWalk, ADirectorySwappedForALinkMidWalkIsNotEntered) {
  const TempDir dir;
  fs::create_directories(dir.path() / "tree" / "a");
  fs::create_directories(dir.path() / "tree" / "b");
  fs::create_directories(dir.path() / "elsewhere");
  dir.Write("tree/a/file", "");
  dir.Write("tree/b/file", "");
  dir.Write("elsewhere/secret", "");
  const std::string tree = (dir.path() / "tree").string();

  InputWalk walk({tree}, true);
  const std::optional<Input> first = walk.Next();
  ASSERT_TRUE(first);
  EXPECT_EQ(first->path, tree + "/a/file");
  // "b" was listed as a directory; a link to elsewhere takes its place.
  fs::remove_all(dir.path() / "tree" / "b");
  fs::create_directory_symlink(dir.path() / "elsewhere", dir.path() / "tree" / "b");

  std::vector<std::string> rest;
  while (const std::optional<Input> input = walk.Next()) {
    rest.push_back(input->path + (input->kind == Input::Kind::kSkipped ? " skipped" : ""));
  }
  EXPECT_EQ(rest, std::vector<std::string>{tree + "/b skipped"});
}

// Lowers the limit on open files while it lives.
class OpenFileLimit {
 public:
  explicit OpenFileLimit(rlim_t files) {
    EXPECT_EQ(::getrlimit(RLIMIT_NOFILE, &saved_), 0);
    rlimit lowered = saved_;
    lowered.rlim_cur = files;
    EXPECT_EQ(::setrlimit(RLIMIT_NOFILE, &lowered), 0);
  }
  ~OpenFileLimit() { ::setrlimit(RLIMIT_NOFILE, &saved_); }
  OpenFileLimit(const OpenFileLimit&) = delete;
  OpenFileLimit& operator=(const OpenFileLimit&) = delete;

 private:
  rlimit saved_{};
};

// Every input left, as "PATH" for files and "PATH: reason" for the others.
std::vector<std::string> Rest(InputWalk& walk) {
  std::vector<std::string> rest;
  while (const std::optional<Input> input = walk.Next()) {
    switch (input->kind) {
      case Input::Kind::kUnreadable:
        rest.push_back(input->path + ": " + input->failure->code().message());
        break;
      case Input::Kind::kSkipped:
        rest.push_back(input->path + ": " + input->reason);
        break;
      default:
        rest.push_back(input->path);
    }
  }
  return rest;
}

// Makes `depth` directories "d", each in the one before, under `top`, with a
// file "z" beside each, which the walk reaches on its way back up.
std::vector<std::string> MakeDeepTree(const fs::path& top, int depth) {
  std::vector<std::string> files;
  fs::path at = top;
  for (int i = 0; i < depth; ++i) {
    at /= "d";
    files.push_back((at.parent_path() / "z").string());
  }
  fs::create_directories(at);
  for (const std::string& file : files) {
    std::ofstream{file};
  }
  std::reverse(files.begin(), files.end());  // the deepest first
  return files;
}

TEST(InputWalk, ATreeDeeperThanTheOpenFilesLimitIsWalkedToItsEnd) {
  const TempDir dir;
  const std::vector<std::string> files = MakeDeepTree(dir.path() / "top", 200);
  const OpenFileLimit limit(64);
  InputWalk walk({(dir.path() / "top").string()}, true);
  EXPECT_EQ(Rest(walk), files);
}

TEST(InputWalk, ADirectoryEnteredThroughALinkDeepInTheWalkIsLeftWithoutAFailure) {
  // top/a/link leads to a tree of its own: its ".." is not top/a.
  const TempDir dir;
  fs::create_directories(dir.path() / "top" / "a");
  std::vector<std::string> expected =
      MakeDeepTree(dir.path() / "real", static_cast<int>(InputWalk::kDirectoriesHeldOpen) + 2);
  fs::create_directory_symlink(dir.path() / "real", dir.path() / "top" / "a" / "link");
  dir.Write("top/a/z", "");
  const std::string top = (dir.path() / "top").string();
  for (std::string& file : expected) {
    file.replace(0, (dir.path() / "real").string().size(), top + "/a/link");
  }
  expected.push_back(top + "/a/z");
  InputWalk walk({top}, true, true);
  EXPECT_EQ(Rest(walk), expected);
}

TEST(InputWalk, ADirectoryMovedWhileItsDescriptorWasLetGoIsAFailure) {
  const TempDir dir;
  const fs::path top = dir.path() / "top";
  std::vector<std::string> files =
      MakeDeepTree(top / "a", static_cast<int>(InputWalk::kDirectoriesHeldOpen) + 2);
  dir.Write("top/z", "");
  InputWalk walk({top.string()}, true);
  const std::optional<Input> first = walk.Next();
  ASSERT_TRUE(first);
  EXPECT_EQ(first->path, files.front());

  // Deep in the walk, top/a has let its descriptor go. It is moved away, with
  // the directory below it taken out first so that ".." does not lead back
  // to it either, and another takes its place.
  fs::create_directory(dir.path() / "elsewhere");
  fs::rename(top / "a" / "d", dir.path() / "elsewhere" / "d");
  fs::rename(top / "a", dir.path() / "elsewhere" / "a");
  fs::create_directory(top / "a");
  dir.Write("top/a/z", "");

  // What remains of the walk below top/a is walked where it now is; top/a/z,
  // which remained in the directory moved, is not reached, nor is the
  // stranger in its place.
  std::vector<std::string> expected(files.begin() + 1, files.end() - 1);
  expected.push_back(top.string() + "/a: Directory moved while it was being walked");
  expected.push_back(top.string() + "/z");
  EXPECT_EQ(Rest(walk), expected);
}

TEST(InputWalk, ListingDirectoriesLeavesTheirAccessTimesAlone) {
  const TempDir dir;
  fs::create_directories(dir.path() / "tree" / "sub");
  dir.Write("tree/sub/file", "");
  // Older than a day and than the last change: even a file system that
  // updates access times lazily (relatime) brings it up to date on a read.
  const time_t long_ago = ::time(nullptr) - 2 * 24 * 60 * 60;
  const std::array<timespec, 2> times{{{long_ago, 0}, {0, UTIME_OMIT}}};
  for (const char* name : {"tree", "tree/sub"}) {
    ASSERT_EQ(::utimensat(AT_FDCWD, (dir.path() / name).c_str(), times.data(), 0), 0);
  }

  InputWalk walk({(dir.path() / "tree").string()}, true);
  std::size_t inputs = 0;
  while (walk.Next()) {
    ++inputs;
  }
  EXPECT_EQ(inputs, 1U);
  for (const char* name : {"tree", "tree/sub"}) {
    struct stat after {};
    ASSERT_EQ(::stat((dir.path() / name).c_str(), &after), 0);
    EXPECT_EQ(after.st_atim.tv_sec, long_ago) << name;
  }
}

}  // namespace
}  // namespace telltale::cli
