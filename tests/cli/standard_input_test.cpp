// SPDX-License-Identifier: Apache-2.0
// "-" reads standard input, be it a pipe or a file, in its place among the
// paths given.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>

#include "scanner_process.h"

namespace telltale::cli::testing {
namespace {

constexpr std::string_view kName = "(standard input)";

TEST(StandardInput, PipeAndRedirectedFileGiveTheScanFindings) {
  const TempDir dir;
  const std::string content = RandomText(3 << 20,
                                         "\xFF\xDB"
                                         "cdnCDN",
                                         11);
  const std::string expected = ExpectedLines(kName, content);

  const ScannerRun piped = RunScanner({"-"}, WithInput(content));
  EXPECT_TRUE(SameLines(piped.out, expected));
  EXPECT_EQ(piped.status, 0);

  const ScannerRun redirected = RunScanner({"-"}, WithInputFile(dir.Write("input", content)));
  EXPECT_TRUE(SameLines(redirected.out, expected));

  const ScannerRun json = RunScanner({"--json", "-"}, WithInput("\xFF\xDB"));
  EXPECT_EQ(
      Records(json.out, {"finding", "file"}),
      R"j({"type":"finding","path":"(standard input)","tool":"JPHide","position":1,"offset":0)j"
      R"(,"context":"not a recognised format","explained":false})"
      "\n"
      R"j({"type":"file","path":"(standard input)","bytes":2,)j"
      R"("counts":{"JPHide":1,"Hiderman":0},"format":null,"changed":false})"
      "\n");
}

TEST(StandardInput, KeepsItsPlaceAmongTheFiles) {
  const TempDir dir;
  dir.Write("a", "CDN");
  dir.Write("b", "\xFF\xDB");
  RunOptions options = InDirectory(dir.path());
  options.input = "..cdn\xFF\xDB";
  const ScannerRun run = RunScanner({"-c", "a", "-", "b"}, options);
  EXPECT_EQ(run.out, "a:0:1\n(standard input):1:1\nb:1:0\n");
  EXPECT_EQ(run.status, 0);

  const ScannerRun empty = RunScanner({"-c", "-"});
  EXPECT_EQ(empty.out, "(standard input):0:0\n");
  EXPECT_EQ(empty.status, 1);
}

TEST(StandardInput, FindingsBeforeALaterFailureCountInTheSummary) {
  // Ten JPHide findings are printed as they are met; the Hiderman ones are
  // held until the end, and there are too many for memory, while the
  // temporary file cannot be made.
  std::string content;
  for (int i = 0; i < 10; ++i) {
    content += "\xFF\xDB";
  }
  for (int i = 0; i < 1'000'000; ++i) {
    content += "CDN";
  }
  const char* old = std::getenv("TMPDIR");  // NOLINT(concurrency-mt-unsafe)
  const std::string saved = old != nullptr ? old : "";
  ASSERT_EQ(::setenv("TMPDIR", "/nonexistent/telltale", 1), 0);
  const ScannerRun run = RunScanner({"-q", "--json", "-"}, WithInput(content));
  if (old != nullptr) {
    ::setenv("TMPDIR", saved.c_str(), 1);
  } else {
    ::unsetenv("TMPDIR");
  }

  const std::string findings = Records(run.out, {"finding"});
  EXPECT_EQ(std::count(findings.begin(), findings.end(), '\n'), 10);
  EXPECT_EQ(Records(run.out, {"error"}),
            R"j({"type":"error","path":"(standard input)","error":"temporary file for held )j"
            R"j(findings: No such file or directory","errno":2})j"
            "\n");
  EXPECT_NE(Records(run.out, {"summary"}).find(R"("findings":{"JPHide":10,"Hiderman":0})"),
            std::string::npos)
      << run.out;
  EXPECT_EQ(run.status, 2);
}

TEST(StandardInput, CanBeNamedOnlyOnce) {
  // Two jobs would each take a part of it.
  const ScannerRun run =
      RunScanner({"-j", "2", "-c", "-", "-"}, WithInput(std::string(1 << 20, '.')));
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err,
            "telltale-scan: '-' is given more than once: standard input can be read only once\n"
            "Try 'telltale-scan --help' for more information.\n");
  EXPECT_EQ(run.status, 2);
}

}  // namespace
}  // namespace telltale::cli::testing
