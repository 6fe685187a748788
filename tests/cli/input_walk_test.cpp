// The walk itself, changed under it while it runs.
#include "cli/input_walk.h"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace telltale::cli
