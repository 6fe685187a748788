// --files-from: more paths to scan, read from a file or standard input.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "batch_in_process.h"
#include "scanner_process.h"

namespace telltale::cli::testing {
namespace {

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

TEST(FilesFrom, NullSeparatedFromStandardInput) {
  const TempDir dir;
  dir.Write("a\nb", "\xFF\xDB");
  dir.Write("c", "CDN");
  RunOptions options = InDirectory(dir.path());
  options.input = std::string("a\nb\0\0c\0", 7);
  const ScannerRun run = RunScanner({"--files-from=-", "-0", "--json"}, options);
  EXPECT_EQ(Records(run.out, {"finding"}),
            R"({"type":"finding","path":"a\u000ab","tool":"JPHide","position":1,"offset":0})"
            "\n"
            R"({"type":"finding","path":"c","tool":"Hiderman","position":1,"offset":0})"
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

TEST(FilesFrom, AListThatCannotBeOpenedStopsTheRun) {
  const TempDir dir;
  dir.Write("a", "\xFF\xDB");
  const ScannerRun missing = RunScanner({"--files-from", "no list", "a"}, InDirectory(dir.path()));
  EXPECT_EQ(missing.out, "");
  EXPECT_EQ(missing.err, "telltale-scan: no list: No such file or directory (error 2)\n");
  EXPECT_EQ(missing.status, 2);
  // Standard input given as a list and as a path is a usage error, among
  // the others in the exit status tests.
}

}  // namespace
}  // namespace telltale::cli::testing
