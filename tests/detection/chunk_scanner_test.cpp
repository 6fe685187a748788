// The chunked scan must find exactly what the whole-content scan finds,
// wherever the chunks happen to be cut.
#include "detection/chunk_scanner.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "test_support.h"

namespace telltale {
namespace {

using testing::AsBytes;

// The chunked findings, put back into report order (rule by rule; each
// rule's findings already come in position order).
std::vector<ScanFinding> ScanInChunks(std::string_view content, std::size_t chunk_size) {
  ChunkScanner scanner(chunk_size);
  std::vector<ScanFinding> found;
  std::size_t offset = 0;
  while (offset < content.size()) {
    const auto buffer = scanner.Buffer();
    const std::size_t count = std::min(buffer.size(), content.size() - offset);
    std::memcpy(buffer.data(), content.data() + offset, count);
    scanner.Scan(count, [&](const ScanFinding& f) { found.push_back(f); });
    offset += count;
  }
  EXPECT_EQ(scanner.bytes_scanned(), content.size());
  std::stable_sort(found.begin(), found.end(),
                   [](const ScanFinding& a, const ScanFinding& b) { return a.rule < b.rule; });
  return found;
}

TEST(ChunkScanner, MarkersSplitAtEveryOffsetOfABoundary) {
  for (std::size_t chunk = 1; chunk <= 8; ++chunk) {
    for (std::size_t shift = 0; shift < 2 * chunk + 3; ++shift) {
      const std::string content =
          std::string(shift, '.') + "\xFF\xDB" + "cDn" + "\xFF\xDB" + "CDN" + "cdn" + "..";
      EXPECT_EQ(testing::Describe(ScanInChunks(content, chunk)),
                testing::Describe(ScanContent(AsBytes(content))))
          << "chunk " << chunk << " shift " << shift;
    }
  }
}

TEST(ChunkScanner, RandomContentsAndChunkSizes) {
  std::uint32_t seed = 100;
  for (const std::size_t chunk : {1, 2, 3, 5, 64, 1000, 4096}) {
    for (const std::string_view alphabet : {"cdnCDN\xFF\xDB", "\xFF\xDB", "CcDdNn"}) {
      const std::string content = testing::RandomText(20000, alphabet, seed++);
      ASSERT_EQ(testing::Describe(ScanInChunks(content, chunk)),
                testing::Describe(ScanContent(AsBytes(content))))
          << "chunk " << chunk << " seed " << seed - 1;
    }
  }
}

TEST(ChunkScanner, EmptyAndTinyStreams) {
  EXPECT_TRUE(ScanInChunks("", 16).empty());
  EXPECT_TRUE(ScanInChunks("C", 16).empty());
  EXPECT_EQ(testing::Describe(ScanInChunks("cdn", 1)), std::vector<std::string>{"Hiderman@1"});
}

TEST(ChunkScanner, BufferOffersTheChunkSizeEveryTime) {
  ChunkScanner scanner(10);
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(scanner.Buffer().size(), 10U);
    scanner.Scan(i == 0 ? 1 : 10, [](const ScanFinding&) {});
  }
}

}  // namespace
}  // namespace telltale
