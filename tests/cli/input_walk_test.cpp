// The walk itself, changed under it while it runs.
#include "cli/input_walk.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <array>
#include <ctime>
#include <filesystem>
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
