// SPDX-License-Identifier: Apache-2.0
// Every output format carries exactly the findings of the whole-content
// scan, in its order, file after file as given, whatever the number of jobs.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "cli/output_sizes.h"
#include "scanner_process.h"
#include "telltale/sizes.h"

namespace telltale::cli::testing {
namespace {

constexpr std::string_view kMarkerAlphabet =
    "\xFF\xDB"
    "cdnCDN.";

struct NamedContent {
  std::string name;
  std::string content;
};

// Files whose findings are many, few or none, including an empty one.
std::vector<NamedContent> MixedFiles() {
  return {
      {"many", RandomText(200000, kMarkerAlphabet, 1)},
      {"none", RandomText(5000, "abc", 2)},
      {"empty", ""},
      {"both", "CDN..\xFF\xDB.cdn\xFF\xDB"},
      {"few", RandomText(3000, kMarkerAlphabet, 3)},
  };
}

std::string CountLine(const std::string& path, std::string_view content) {
  std::size_t jphide = 0;
  std::size_t hiderman = 0;
  for (const ScanFinding& f : FindingsOf(content)) {
    (f.rule->tool == "JPHide" ? jphide : hiderman) += 1;
  }
  return path + ":" + std::to_string(jphide) + ":" + std::to_string(hiderman) + "\n";
}

TEST(OutputFormat, FindingLinesFollowTheScanFileByFileInTheOrderGiven) {
  const TempDir dir;
  std::vector<std::string> args;
  std::string expected;
  for (const NamedContent& file : MixedFiles()) {
    args.push_back(dir.Write(file.name, file.content));
    expected += ExpectedLines(args.back(), file.content);
  }
  const ScannerRun run = RunScanner(args);
  EXPECT_TRUE(SameLines(run.out, expected));
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.status, 0);
}

TEST(OutputFormat, CountsGiveOneLinePerFileIncludingThoseWithoutFindings) {
  const TempDir dir;
  std::vector<std::string> args{"--count"};
  std::string expected;
  for (const NamedContent& file : MixedFiles()) {
    args.push_back(dir.Write(file.name, file.content));
    expected += CountLine(args.back(), file.content);
  }
  const ScannerRun run = RunScanner(args);
  EXPECT_TRUE(SameLines(run.out, expected));
  EXPECT_EQ(run.status, 0);

  const ScannerRun nothing = RunScanner({"-c", dir.Write("plain", "plain text")});
  EXPECT_EQ(nothing.out, dir.path().string() + "/plain:0:0\n");
  EXPECT_EQ(nothing.status, 1);
}

TEST(OutputFormat, JsonHasOneObjectPerFindingInScanOrder) {
  const TempDir dir;
  dir.Write("x.jpg", "cdn\xFF\xDB\xFF\xDB");
  const ScannerRun run = RunScanner({"--json", "x.jpg"}, InDirectory(dir.path()));
  EXPECT_EQ(Records(run.out, {"finding"}),
            R"({"type":"finding","path":"x.jpg","tool":"JPHide","position":4,"offset":3)"
            R"(,"context":"not a recognised format","explained":false})"
            "\n"
            R"({"type":"finding","path":"x.jpg","tool":"JPHide","position":6,"offset":5)"
            R"(,"context":"not a recognised format","explained":false})"
            "\n"
            R"({"type":"finding","path":"x.jpg","tool":"Hiderman","position":1,"offset":0)"
            R"(,"context":"not a recognised format","explained":false})"
            "\n");
  EXPECT_EQ(run.status, 0);
}

TEST(OutputFormat, NullPutsANulByteAfterEachPath) {
  // Names may hold colons and newlines; NUL is the one byte they cannot.
  const TempDir dir;
  dir.Write("a:1\nb",
            "x\xFF\xDB"
            "CDN");
  const RunOptions options = InDirectory(dir.path());
  const std::string name("a:1\nb\0", 6);
  EXPECT_EQ(RunScanner({"-0", "a:1\nb"}, options).out, name + "2:JPHide\n" + name + "4:Hiderman\n");
  const ScannerRun counts = RunScanner({"--null", "-c", "a:1\nb"}, options);
  EXPECT_EQ(counts.out, name + "1:1\n");
  EXPECT_EQ(counts.status, 0);
  // With --json alone it is a usage error, among the others in the exit
  // status tests.
}

TEST(OutputFormat, HidermanFindingsBeyondWhatIsHeldInMemoryKeepTheirOrder) {
  // Each Hiderman finding must wait for every JPHide finding. From a file
  // they are found in a second pass; from standard input, which cannot be
  // read twice, there are more of them than are kept in memory, so the rest
  // go through a temporary file.
  const TempDir dir;
  std::string content;
  for (std::size_t i = 0; i < 2 * kHeldPositionBytes + 1000; ++i) {
    content += i % 3 == 0 ? "CDN\xFF\xDB" : "CDN";
  }
  const std::string path = dir.Write("markers", content);
  const ScannerRun run = RunScanner({path});
  EXPECT_TRUE(SameLines(run.out, ExpectedLines(path, content)));
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(RunScanner({"-c", path}).out, CountLine(path, content));
  const ScannerRun piped = RunScanner({"-"}, WithInputFile(path));
  EXPECT_TRUE(SameLines(piped.out, ExpectedLines("(standard input)", content)));
}

TEST(OutputFormat, ManyJobsPrintWhatOneJobPrints) {
  // The first file is slow and says much; the later ones say enough to fill
  // what may be held back while it is scanned, so jobs must wait their turn.
  const TempDir dir;
  std::vector<std::string> names;
  std::string expected;
  const auto add = [&](const std::string& name, const std::string& content) {
    dir.Write(name, content);
    names.push_back(name);
    expected += ExpectedLines(name, content);
  };
  add("first", RandomText(6 << 20, kMarkerAlphabet, 7));
  std::string pairs;
  for (int i = 0; i < 150000; ++i) {
    pairs += "\xFF\xDB";
  }
  for (int i = 0; i < 30; ++i) {
    std::string name = "f";
    name += std::to_string(i);
    add(name, i % 5 == 0 ? pairs + "cdn" : RandomText(1000 + 997 * i, kMarkerAlphabet, 100 + i));
  }
  ASSERT_GT(expected.size(), 2 * kHeldOutputBytes);

  for (const char* jobs : {"1", "2", "5"}) {
    std::vector<std::string> args{"-j", jobs};
    args.insert(args.end(), names.begin(), names.end());
    const ScannerRun run = RunScanner(args, InDirectory(dir.path()));
    EXPECT_TRUE(SameLines(run.out, expected)) << "-j " << jobs;
    EXPECT_EQ(run.status, 0);
  }
}

TEST(OutputFormat, ManyJobsNeverHoldMoreFilesThanTheLimitAllows) {
  // Every file says more than may be held back, so jobs wait for their turn
  // to print while far more of them run than there are descriptors.
  const TempDir dir;
  std::string pairs;
  for (int i = 0; i < 20000; ++i) {
    pairs += "\xFF\xDB";
  }
  std::string expected;
  for (int d = 0; d < 8; ++d) {
    for (int f = 0; f < 25; ++f) {
      std::string name = "tree/d";
      name += std::to_string(d);
      std::filesystem::create_directories(dir.path() / name);
      name += "/f";
      name += static_cast<char>('a' + f);
      dir.Write(name, pairs);
      expected += ExpectedLines(name, pairs);
    }
  }
  ASSERT_GT(expected.size(), 2 * kHeldOutputBytes);
  RunOptions options = InDirectory(dir.path());
  options.open_files = 64;
  const ScannerRun run = RunScanner({"-r", "-j", "1024", "tree"}, options);
  EXPECT_EQ(run.err, "");
  EXPECT_TRUE(SameLines(run.out, expected));
  EXPECT_EQ(run.status, 0);
}

TEST(OutputFormat, WithoutThreadsToBeHadOneJobScansEverything) {
  const TempDir dir;
  // Run as another user, it must reach the files.
  std::filesystem::permissions(dir.path(), std::filesystem::perms::owner_all |
                                               std::filesystem::perms::group_exec |
                                               std::filesystem::perms::others_exec);
  std::vector<std::string> args{"-j", "4"};
  std::string expected;
  std::uint32_t seed = 20;
  for (const std::size_t size : {std::size_t{3} << 20, std::size_t{1000}, std::size_t{70000}}) {
    std::string name = "f";
    name += std::to_string(seed);
    args.push_back(dir.Write(name, RandomText(size, kMarkerAlphabet, seed)));
    expected += ExpectedLines(args.back(), RandomText(size, kMarkerAlphabet, seed));
    ++seed;
  }
  RunOptions options;
  options.one_thread = true;
  const ScannerRun run = RunScanner(args, options);
  if (run.status == kNotStarted) {
    GTEST_SKIP() << run.err;
  }
  EXPECT_TRUE(SameLines(run.out, expected));
  EXPECT_EQ(run.err,
            "telltale-scan: cannot start a thread for job 2 (Resource temporarily unavailable); "
            "scanning with 1 of 4 jobs\n");
  EXPECT_EQ(run.status, 0);
}

}  // namespace
}  // namespace telltale::cli::testing
