// SPDX-License-Identifier: Apache-2.0
// The search primitive, and each vector version of it against the plain one.
#include "telltale/marker_search.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "internal/find_kernel.h"
#include "reference_scan.h"
#include "structure/entropy_data_end.h"
#include "test_support.h"

namespace telltale {
namespace {

using testing::AsBytes;

TEST(FindMarker, ReturnsTheFirstOccurrenceAtOrAfterStart) {
  const auto content = AsBytes("abCDNcdnCDN");
  EXPECT_EQ(FindMarker(content, "CDN", 0, Comparison::kExact), 2U);
  EXPECT_EQ(FindMarker(content, "CDN", 3, Comparison::kExact), 8U);
  EXPECT_EQ(FindMarker(content, "CDN", 3, Comparison::kIgnoreCase), 5U);
  EXPECT_EQ(FindMarker(content, "CDN", 9, Comparison::kExact), kNotFound);
  EXPECT_EQ(FindMarker(content, "CDN", 100, Comparison::kExact), kNotFound);
}

TEST(FindMarker, BeforeStopsAtStartsNotEnds) {
  const auto content = AsBytes("xxCDN");
  EXPECT_EQ(FindMarkerBefore(content, "CDN", 0, 3, Comparison::kExact), 2U);
  EXPECT_EQ(FindMarkerBefore(content, "CDN", 0, 2, Comparison::kExact), kNotFound);
}

TEST(FindMarker, MarkersOutsideTheVectorSizesStillWork) {
  const auto content = AsBytes("one two three");
  EXPECT_EQ(FindMarker(content, "three", 0, Comparison::kExact), 8U);
  EXPECT_EQ(FindMarker(content, "TWO", 0, Comparison::kIgnoreCase), 4U);
  EXPECT_EQ(FindMarker(content, "o", 3, Comparison::kExact), 6U);
}

TEST(MatchesAt, NeverReadsPastTheEnd) {
  const auto content = AsBytes("xCD");
  EXPECT_FALSE(MatchesAt(content, 1, "CDN", Comparison::kExact));
  EXPECT_FALSE(MatchesAt(content, 5, "CDN", Comparison::kExact));
  EXPECT_TRUE(MatchesAt(content, 1, "cd", Comparison::kIgnoreCase));
}

struct NamedKernel {
  const char* name;
  simd::FindKernel find;
  bool available;
};

std::vector<NamedKernel> Kernels() {
  std::vector<NamedKernel> kernels{{"portable", simd::FindPortable, true}};
#if defined(__x86_64__)
  kernels.push_back({"sse2", simd::FindSse2, true});
  // NOLINTNEXTLINE(readability-implicit-bool-conversion): inside the builtin's expansion
  kernels.push_back({"avx2", simd::FindAvx2, __builtin_cpu_supports("avx2") != 0});
#endif
  return kernels;
}

TEST(SearchKernels, AgreeWithThePlainSearchEverywhere) {
  const std::string_view markers[] = {"\xFF\xDB", "CDN", "c"};
  for (const NamedKernel& kernel : Kernels()) {
    if (!kernel.available) {
      continue;
    }
    std::uint32_t seed = 7;
    for (const std::string_view alphabet : {"cdnCDN\xFF\xDB", "\xFF\xDB\xFF"}) {
      const std::string text = testing::RandomText(3000, alphabet, seed++);
      const Bytes content = AsBytes(text);
      for (const std::string_view marker : markers) {
        for (const Comparison comparison : {Comparison::kExact, Comparison::kIgnoreCase}) {
          const MarkerPattern pattern = MakeMarkerPattern(marker, comparison);
          const std::size_t fits = content.size() - marker.size() + 1;
          // Every start, and stops that cut the vector loops short.
          for (std::size_t start = 0; start < 200; ++start) {
            for (const std::size_t stop : {fits, start + 1, start + 17, start + 70}) {
              const std::size_t bounded = std::min(stop, fits);
              std::size_t expected = FindMarkerReference(content, marker, start, comparison);
              if (expected >= bounded) {
                expected = bounded;
              }
              ASSERT_EQ(kernel.find(content.data(), start, bounded, pattern, nullptr, nullptr),
                        expected)
                  << kernel.name << " marker size " << marker.size() << " start " << start
                  << " stop " << bounded;
            }
          }
        }
      }
    }
  }
}

TEST(SearchKernels, ReadNothingPastTheLastStartThatFits) {
  // A buffer that ends exactly where a marker could last start: under
  // AddressSanitizer, any read past it fails the test.
  for (const NamedKernel& kernel : Kernels()) {
    if (!kernel.available) {
      continue;
    }
    for (std::size_t size = 3; size < 150; ++size) {
      std::vector<unsigned char> bytes(size, 'C');
      const MarkerPattern pattern = MakeMarkerPattern("CDN", Comparison::kExact);
      EXPECT_EQ(kernel.find(bytes.data(), 0, size - 2, pattern, nullptr, nullptr), size - 2)
          << kernel.name;
      bytes[size - 2] = 'D';
      bytes[size - 1] = 'N';
      EXPECT_EQ(kernel.find(bytes.data(), 0, size - 2, pattern, nullptr, nullptr), size - 3)
          << kernel.name;
    }
  }
}

// The end of a JPEG scan's data, as each vector kernel and the search that
// finishes its work find it, on buffers of every size up to a few vectors,
// each exactly as large as the bytes searched so that a read past them fails
// under AddressSanitizer.
TEST(SearchKernels, EntropyDataEndsAtTheFirstFfThatIsNeitherStuffingNorARestart) {
  using namespace std::string_view_literals;
  const auto plain_end = [](const std::vector<unsigned char>& bytes) {
    for (std::size_t i = 0; i < bytes.size(); ++i) {
      const bool restart = i + 1 < bytes.size() && bytes[i + 1] >= 0xD0 && bytes[i + 1] <= 0xD7;
      const bool stuffed = i + 1 < bytes.size() && bytes[i + 1] == 0;
      if (bytes[i] == 0xFF && !restart && !stuffed) {
        return i;
      }
    }
    return bytes.size();
  };
  struct Kernel {
    simd::EntropyEndKernel find;
    std::size_t step;  // a kernel that finds nothing stops within one step of the end
  };
  std::vector<Kernel> kernels;
#if defined(__x86_64__)
  kernels.push_back({simd::FindEntropyEndSse2, 32});
  if (__builtin_cpu_supports("avx2")) {
    kernels.push_back({simd::FindEntropyEndAvx2, 64});
  }
#endif
  std::uint32_t seed = 11;
  for (std::size_t size = 0; size < 300; ++size) {
    for (const std::string_view alphabet : {"\xFF\0x"sv, "\xFF\xD0\xD7\0\xD8x\xFF"sv}) {
      const std::string text = testing::RandomText(size, alphabet, seed++);
      const std::vector<unsigned char> bytes(text.begin(), text.end());
      const std::size_t expected = plain_end(bytes);
      ASSERT_EQ(FindEntropyDataEnd(bytes.data(), size), expected) << "size " << size;
      for (const Kernel& kernel : kernels) {
        const std::size_t found = kernel.find(bytes.data(), size);
        if (found != expected) {
          ASSERT_LT(found, expected) << "size " << size;
          ASSERT_GE(found + kernel.step, size) << "size " << size;
        }
      }
    }
  }
}

TEST(SearchKernels, WatchingNeverMissesASecondMarkerBeforeTheFirst) {
  const MarkerPattern find = MakeMarkerPattern("\xFF\xDB", Comparison::kExact);
  const MarkerPattern watch = MakeMarkerPattern("CDN", Comparison::kIgnoreCase);
  for (const NamedKernel& kernel : Kernels()) {
    if (!kernel.available) {
      continue;
    }
    std::uint32_t seed = 40;
    for (int round = 0; round < 300; ++round) {
      // Sparse markers of both kinds, so that either may come first.
      std::string text = testing::RandomText(700, "xyz", seed++);
      std::mt19937 random(seed);
      for (int k = 0; k < 2; ++k) {
        text.replace(random() % 690, 2, "\xFF\xDB");
        text.replace(random() % 690, 3, random() % 2 == 0 ? "cDn" : "CDN");
      }
      const Bytes content = AsBytes(text);
      const std::size_t start = random() % 100;
      const std::size_t stop = content.size() - 2;
      bool watched = false;
      const std::size_t found = kernel.find(content.data(), start, stop, find, &watch, &watched);
      const std::size_t first_watch =
          FindMarkerReference(content, "CDN", start, Comparison::kIgnoreCase);
      ASSERT_EQ(found, std::min(stop, FindMarkerReference(content, "\xFF\xDB", start,
                                                          Comparison::kExact)));
      if (first_watch <= found) {
        EXPECT_TRUE(watched) << kernel.name << " round " << round;
      }
      if (watched) {
        // Seen at most one loop stretch past the find.
        EXPECT_LT(first_watch, std::min(stop, found + 64)) << kernel.name << " round " << round;
      }
    }
  }
}

}  // namespace
}  // namespace telltale
