// SPDX-License-Identifier: Apache-2.0
// Markers that straddle the boundary between two chunks read from a file are
// found exactly as in the whole content.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "scanner_process.h"
#include "telltale/sizes.h"

namespace telltale::cli::testing {
namespace {

constexpr std::size_t kChunk = kChunkSize;

// `marker` written into zeros at each start from wholly before the first
// boundary to wholly after it.
TEST(ChunkBoundaries, EachMarkerAtEveryOffsetAcrossABoundary) {
  const TempDir dir;
  std::vector<std::string> args;
  std::string expected;
  int file = 0;
  for (const std::string marker : {"\xFF\xDB", "CDN", "cDn"}) {
    for (std::size_t start = kChunk - marker.size(); start <= kChunk; ++start) {
      std::string content(kChunk + 16, '\0');
      std::copy(marker.begin(), marker.end(), content.begin() + static_cast<std::ptrdiff_t>(start));
      args.push_back(dir.Write(std::to_string(file++), content));
      expected += ExpectedLines(args.back(), content);
    }
  }
  const ScannerRun run = RunScanner(args);
  EXPECT_TRUE(SameLines(run.out, expected));
  EXPECT_EQ(run.status, 0);
}

// The rule state carries across boundaries too: the first Hiderman search
// ignores case, later ones do not, wherever the chunks are cut.
std::string MarkersAtSeveralBoundaries() {
  std::string content(5 * kChunk + 7, '.');
  content.replace(kChunk - 1, 3, "cdn");      // first Hiderman: found, case ignored
  content.replace(2 * kChunk - 2, 3, "cDN");  // later: exact, not found
  content.replace(2 * kChunk - 1, 2, "\xFF\xDB");
  content.replace(3 * kChunk - 1, 3, "CDN");  // later, exact: found
  content.replace(4 * kChunk - 1, 2, "\xFF\xDB");
  content.replace(5 * kChunk + 4, 3, "CDN");  // in the short last chunk
  return content;
}

TEST(ChunkBoundaries, RuleStateCarriesAcrossChunks) {
  const TempDir dir;
  const std::string content = MarkersAtSeveralBoundaries();
  ASSERT_EQ(FindingsOf(content).size(), 5U);
  const std::string path = dir.Write("long", content);
  EXPECT_TRUE(SameLines(RunScanner({path}).out, ExpectedLines(path, content)));
  EXPECT_EQ(RunScanner({"-c", path}).out, path + ":2:3\n");
}

TEST(ChunkBoundaries, StandardInputIsCutTheSameWay) {
  // A pipe hands over its bytes in pieces of its own size; the scanner still
  // fills whole chunks.
  const std::string content = MarkersAtSeveralBoundaries();
  const ScannerRun run = RunScanner({"-"}, WithInput(content));
  EXPECT_TRUE(SameLines(run.out, ExpectedLines("(standard input)", content)));
  EXPECT_EQ(run.status, 0);
}

}  // namespace
}  // namespace telltale::cli::testing
