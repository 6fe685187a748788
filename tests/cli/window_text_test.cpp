// SPDX-License-Identifier: Apache-2.0
// --window-text prints exactly what the window's results box holds after a
// Run: the last text RunScan sets.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "scanner_process.h"
#include "telltale/run_scan.h"

namespace telltale::cli::testing {
namespace {

using telltale::testing::RecordingSink;

TEST(WindowText, IsTheLastTextOfARunByteForByte) {
  const TempDir dir;
  struct Case {
    const char* name;
    std::string content;
    int status;
  };
  const std::vector<Case> cases = {
      {"no markers.txt", "nothing to see", 1},
      {"empty", "", 1},
      {"two jphide", "\xFF\xDB....\xFF\xDB", 0},
      {"hiderman first", "..CDN..\xFF\xDB", 0},
      {"mixed",
       RandomText(100000,
                  "\xFF\xDB"
                  "cdnCDN",
                  5),
       0},
  };
  for (const Case& c : cases) {
    const std::string path = dir.Write(c.name, c.content);
    RecordingSink sink;
    RunScan(path, sink);
    ASSERT_FALSE(sink.texts.empty()) << c.name;
    const ScannerRun run = RunScanner({"--window-text", path});
    EXPECT_EQ(run.out, sink.texts.back()) << c.name;
    EXPECT_EQ(run.err, "") << c.name;
    EXPECT_EQ(run.status, c.status) << c.name;
  }
}

TEST(WindowText, FailureGoesToStandardErrorWithNumberAndDescription) {
  const TempDir dir;
  const std::string missing = (dir.path() / "missing").string();
  const ScannerRun run = RunScanner({"--window-text=" + missing});
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err, "telltale-scan: " + missing + ": No such file or directory (error 2)\n");
  EXPECT_EQ(run.status, 2);

  // A named pipe is refused at once, not waited on.
  const std::string fifo = (dir.path() / "fifo").string();
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const ScannerRun pipe = RunScanner({"--window-text", fifo});
  EXPECT_EQ(pipe.out, "");
  EXPECT_NE(pipe.err.find(fifo + ": Is a named pipe, not a regular file (error "),
            std::string::npos)
      << pipe.err;
  EXPECT_EQ(pipe.status, 2);
}

TEST(WindowText, TakesOneFileAndNothingElse) {
  const TempDir dir;
  const std::string file = dir.Write("f", "\xFF\xDB");
  for (const std::vector<std::string>& args :
       std::vector<std::vector<std::string>>{{"--window-text", file, file},
                                             {"--window-text", file, "--window-text", file},
                                             {"--window-text", file, "-c"},
                                             {"--window-text", file, "--json"},
                                             {"--window-text", file, "-r"},
                                             {"--window-text", file, "-j", "2"},
                                             {"-q", "--window-text", file},
                                             {"--window-text", "-"},
                                             {"--window-text"}}) {
    const ScannerRun run = RunScanner(args);
    EXPECT_EQ(run.out, "");
    EXPECT_NE(run.err.find("--help"), std::string::npos) << run.err;
    EXPECT_EQ(run.status, 2);
  }
}

}  // namespace
}  // namespace telltale::cli::testing
