// SPDX-License-Identifier: Apache-2.0
// The scan's rules: what counts as a finding, and in which order.
#include "telltale/scan_content.h"

#include <gtest/gtest.h>

#include <string>

#include "reference_scan.h"
#include "telltale/sizes.h"
#include "test_support.h"

namespace telltale {
namespace {

using testing::AsBytes;
using testing::Describe;
using Strings = std::vector<std::string>;

Strings Scan(std::string_view text) { return Describe(ScanContent(AsBytes(text))); }

Strings ScanReference(std::string_view text) {
  std::vector<ScanFinding> found;
  ScanContentReference(AsBytes(text), [&](const ScanFinding& f) { found.push_back(f); });
  return Describe(found);
}

TEST(ScanRules, NothingToFind) {
  EXPECT_EQ(Scan(""), Strings{});
  EXPECT_EQ(Scan("plain text without either marker, cd n, c dn"), Strings{});
  EXPECT_EQ(Scan("\xFF"), Strings{});
  EXPECT_EQ(Scan("text ending in a lone \xFF"), Strings{});
  EXPECT_EQ(Scan("\xDB\xFF"), Strings{});
  EXPECT_EQ(Scan("CD"), Strings{});
}

TEST(ScanRules, JPHideIsEveryPairOfFFDB) {
  std::string content(102, 'x');
  content[0] = '\xFF';
  content[1] = '\xDB';
  content[100] = '\xFF';
  content[101] = '\xDB';
  EXPECT_EQ(Scan(content), (Strings{"JPHide@1", "JPHide@101"}));
  EXPECT_EQ(Scan("\xFF\xDB\xFF\xDB"), (Strings{"JPHide@1", "JPHide@3"}));
  EXPECT_EQ(Scan("\xFF\xFF\xDB"), (Strings{"JPHide@2"}));
  EXPECT_EQ(Scan("\xFF\xdb"), (Strings{"JPHide@1"}));
  // Case does not apply to bytes that are not letters.
  EXPECT_EQ(Scan("\xDF\xDB\xFF\xFB"), Strings{});
}

TEST(ScanRules, HidermanFirstSearchIgnoresCaseLaterSearchesDoNot) {
  EXPECT_EQ(Scan("xcdnyCDN"), (Strings{"Hiderman@2", "Hiderman@6"}));
  EXPECT_EQ(Scan("CDNxcdn"), (Strings{"Hiderman@1"}));
  EXPECT_EQ(Scan("cDn"), (Strings{"Hiderman@1"}));
  EXPECT_EQ(Scan("CDNCDN"), (Strings{"Hiderman@1", "Hiderman@4"}));
  EXPECT_EQ(Scan("cdncdnCDN"), (Strings{"Hiderman@1", "Hiderman@7"}));
}

TEST(ScanRules, IgnoringCaseFoldsOnlyAsciiLetters) {
  // 0xE3 0xE4 0xEE would be c d n with the case bit of Latin-1 letters;
  // c|0x80 and similar are other characters altogether.
  EXPECT_EQ(Scan("\xE3\xE4\xEE \xC3\xC4\xCE \x63\x64\x0E \x03\x04\x0E"), Strings{});
  EXPECT_EQ(Scan("cdN"), (Strings{"Hiderman@1"}));
}

TEST(ScanRules, LaterSearchRestartsOneByteAfterTheStart) {
  // Overlapping occurrences are each found.
  EXPECT_EQ(Scan("\xFF\xDB\xFF\xDB\xFF\xDB"), (Strings{"JPHide@1", "JPHide@3", "JPHide@5"}));
  EXPECT_EQ(Scan("CDCDNCDN"), (Strings{"Hiderman@3", "Hiderman@6"}));
}

TEST(ScanRules, AllJPHideFindingsComeBeforeAnyHiderman) {
  EXPECT_EQ(Scan("CDN\xFF\xDB cdn \xFF\xDB"), (Strings{"JPHide@4", "JPHide@11", "Hiderman@1"}));
}

TEST(ScanRules, NulBytesAreOrdinaryContent) {
  const std::string content("\0\0\xFF\xDB\0cdn\0", 9);
  EXPECT_EQ(Scan(content), (Strings{"JPHide@3", "Hiderman@6"}));
}

TEST(ScanRules, MarkersAtTheFirstAndLastPositions) {
  const std::string jphide = "\xFF\xDB" + std::string(1000, 'x') + "\xFF\xDB";
  EXPECT_EQ(Scan(jphide), (Strings{"JPHide@1", "JPHide@1003"}));
  const std::string hiderman = "cdn" + std::string(1000, 'x') + "CDN";
  EXPECT_EQ(Scan(hiderman), (Strings{"Hiderman@1", "Hiderman@1004"}));
  // Cut just before the end, the last occurrence is gone.
  EXPECT_EQ(Scan(hiderman.substr(0, hiderman.size() - 1)), (Strings{"Hiderman@1"}));
}

TEST(ScanRules, FindingsCarryTheirRuleRows) {
  const auto findings = ScanContent(AsBytes("\xFF\xDB cdn"));
  ASSERT_EQ(findings.size(), 2U);
  EXPECT_EQ(findings[0].rule, kSignatureTable.data());
  EXPECT_EQ(findings[1].rule, &kSignatureTable[1]);
}

// The fast scan works in blocks and vectors; these contents put markers at
// the places where that could go wrong, and compare with the plain scan.
TEST(ScanAgreesWithReference, MarkersAcrossBlockAndVectorEdges) {
  constexpr std::size_t kBlock = kCandidateBlockSize;
  for (const std::size_t edge :
       {std::size_t{16}, std::size_t{32}, std::size_t{64}, kBlock, 2 * kBlock}) {
    for (std::size_t shift = 0; shift < 4; ++shift) {
      std::string content(2 * kBlock + 70, '.');
      const std::size_t at = edge - shift;
      content.replace(at, 2, "\xFF\xDB");
      content.replace(at + 40, 3, shift % 2 == 0 ? "cDn" : "CDN");
      content.replace(edge + 60 - shift, 3, "CDN");
      EXPECT_EQ(Scan(content), ScanReference(content)) << "edge " << edge << " shift " << shift;
      EXPECT_EQ(Scan(content).size(), 3U) << "edge " << edge << " shift " << shift;
    }
  }
}

TEST(ScanAgreesWithReference, RandomContentsOfManyShapes) {
  const std::string_view alphabets[] = {"cdnCDN\xFF\xDB", "\xFF\xDB", "cdCDnN",   "CDN.",
                                        "\xFF",           "cd",       "abc\0\xFF"};
  std::uint32_t seed = 1;
  for (const std::string_view alphabet : alphabets) {
    for (const std::size_t size : {0, 1, 2, 3, 15, 63, 64, 65, 200, 4099, 70000, 140000}) {
      const std::string content = testing::RandomText(size, alphabet, seed++);
      ASSERT_EQ(Scan(content), ScanReference(content)) << "seed " << seed - 1;
    }
  }
}

TEST(ScanAgreesWithReference, OnlyLaterRuleCandidatesInLateBlocks) {
  // The first Hiderman candidate far from the start, lower case, then upper
  // case ones in later blocks: the later searches must stay exact.
  std::string content(300000, 'x');
  content.replace(200000, 3, "cdn");
  content.replace(200010, 3, "cdn");
  content.replace(250000, 3, "CDN");
  content.replace(299997, 3, "CDN");
  EXPECT_EQ(Scan(content), (Strings{"Hiderman@200001", "Hiderman@250001", "Hiderman@299998"}));
}

}  // namespace
}  // namespace telltale
