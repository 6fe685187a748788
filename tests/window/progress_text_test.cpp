// SPDX-License-Identifier: Apache-2.0
// The progress window's status line, the same in both windows: sizes as the
// Qt window wrote them with QLocale::formattedDataSize, then the rate and the
// time left.
#include "window/common/progress_text.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <limits>
#include <string>
#include <utility>
#include <vector>

namespace telltale {
namespace {

constexpr double kMebibyte = 1024.0 * 1024.0;

// Each expected text is what QLocale().formattedDataSize(bytes, 1) returned
// under Qt 6.4 in the C locale.
TEST(ProgressText, SizesReadAsQtWritesThem) {
  const std::vector<std::pair<std::uint64_t, std::string>> sizes{
      {0, "0 bytes"},
      {999, "999 bytes"},
      {1000, "1,000 bytes"},
      {1023, "1,023 bytes"},
      {1024, "1.0 KiB"},
      {1280, "1.3 KiB"},  // 1.25 exactly: rounded half up
      {3584, "3.5 KiB"},
      {1048575, "1,024.0 KiB"},  // rounded into the next thousand, not the next unit
      {1048576, "1.0 MiB"},
      {1101004, "1.0 MiB"},
      {1101005, "1.1 MiB"},
      {126353408, "120.5 MiB"},
      {1048576000, "1,000.0 MiB"},
      {1181116006, "1.1 GiB"},
      {68719476736, "64.0 GiB"},
      {1688849860263936, "1.5 PiB"},
      {9223372036854775807, "8.0 EiB"},
  };
  for (const auto& [bytes, text] : sizes) {
    EXPECT_EQ(DataSizeText(bytes), text) << bytes;
  }
  EXPECT_EQ(DataSizeText(std::numeric_limits<std::uint64_t>::max()), "16.0 EiB");
}

TEST(ProgressText, RatesHaveOneDecimalBelowTenAndNoneFromThere) {
  EXPECT_EQ(RateText(0.0), "0 bytes/s");
  EXPECT_EQ(RateText(512.4), "512 bytes/s");
  EXPECT_EQ(RateText(9.54 * kMebibyte), "9.5 MiB/s");
  EXPECT_EQ(RateText(450.3 * kMebibyte), "450 MiB/s");
  EXPECT_EQ(RateText(1.1 * 1024 * kMebibyte), "1.1 GiB/s");
  EXPECT_EQ(RateText(1000.0 * kMebibyte), "1,000 MiB/s");
}

TEST(ProgressText, TimeLeftIsRoundedAsAPersonSaysIt) {
  using Seconds = std::chrono::duration<double>;
  const std::vector<std::pair<double, std::string>> times{
      {0.0, "a few seconds left"},
      {7.4, "a few seconds left"},
      {7.5, "about 10 seconds left"},
      {42.0, "about 40 seconds left"},
      {57.4, "about 55 seconds left"},
      {57.5, "about 1 minute left"},
      {89.0, "about 1 minute left"},
      {143.0, "about 2 minutes left"},
      {3569.0, "about 59 minutes left"},
      {3570.0, "about 1 hour left"},
      {3900.0, "about 1 hour 5 minutes left"},
      {7200.0, "about 2 hours left"},
      {9000.0, "about 2 hours 30 minutes left"},
      {360000.0, "more than 100 hours left"},
      {std::numeric_limits<double>::infinity(), "more than 100 hours left"},
  };
  for (const auto& [seconds, text] : times) {
    EXPECT_EQ(TimeLeftText(Seconds(seconds)), text) << seconds;
  }
}

TEST(ProgressText, StatusAddsTheRateThenTheTimeLeftWhereItCanBeTold) {
  constexpr ScanProgress kGoing{.done = 1181116006, .total = 68719476736};
  EXPECT_EQ(ProgressStatusText(kGoing, std::nullopt), "1.1 GiB of 64.0 GiB");
  // 62.9 GiB left at 450 MiB/s: 143 seconds.
  EXPECT_EQ(ProgressStatusText(kGoing, 450 * kMebibyte),
            "1.1 GiB of 64.0 GiB, 450 MiB/s, about 2 minutes left");
  EXPECT_EQ(ProgressStatusText(kGoing, 0.0), "1.1 GiB of 64.0 GiB, 0 bytes/s");
  // A stream: no total, so no time left.
  EXPECT_EQ(ProgressStatusText({.done = 1181116006, .total = 0}, 450 * kMebibyte),
            "1.1 GiB of 0 bytes, 450 MiB/s");
  // Read past the total, which grows as the second pass is planned.
  EXPECT_EQ(ProgressStatusText({.done = 2048, .total = 1024}, 450 * kMebibyte),
            "2.0 KiB of 1.0 KiB, 450 MiB/s, a few seconds left");
}

}  // namespace
}  // namespace telltale
