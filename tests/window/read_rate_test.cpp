// SPDX-License-Identifier: Apache-2.0
// The rate the progress window tells: none until it is steady, then the mean
// over the last seconds, so that one poll's burst barely moves it while a
// lasting change of speed shows.
#include "window/common/read_rate.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>

namespace telltale {
namespace {

using std::chrono::milliseconds;

constexpr std::uint64_t kMiB = 1024 * 1024;
constexpr milliseconds kPoll{100};

class ReadRateTest : public ::testing::Test {
 protected:
  // Polls for `how_long` while `per_poll` bytes are read between polls.
  void Read(milliseconds how_long, std::uint64_t per_poll) {
    for (milliseconds read{0}; read < how_long; read += kPoll) {
      now += kPoll;
      done += per_poll;
      rate.Add(now, done);
    }
  }

  ReadRate rate;
  ReadRate::TimePoint now{};
  std::uint64_t done = 0;
};

TEST_F(ReadRateTest, NoFigureUntilTwoSecondsHaveBeenWatched) {
  rate.Add(now, done);
  Read(milliseconds(1900), 10 * kMiB);
  EXPECT_EQ(rate.BytesPerSecond(), std::nullopt);
  Read(kPoll, 10 * kMiB);
  ASSERT_TRUE(rate.BytesPerSecond().has_value());
  EXPECT_DOUBLE_EQ(*rate.BytesPerSecond(), 100.0 * kMiB);
}

TEST_F(ReadRateTest, OneBurstBarelyMovesItAndALastingChangeShowsWithinFiveSeconds) {
  rate.Add(now, done);
  Read(milliseconds(10'000), 10 * kMiB);
  // 50 MiB more in one poll: spread over five seconds, not shown as 600 MiB/s.
  Read(kPoll, 60 * kMiB);
  EXPECT_DOUBLE_EQ(*rate.BytesPerSecond(), 110.0 * kMiB);
  // Twice as fast from here: five seconds on, nothing of before is left.
  Read(milliseconds(5'000), 20 * kMiB);
  EXPECT_DOUBLE_EQ(*rate.BytesPerSecond(), 200.0 * kMiB);
}

}  // namespace
}  // namespace telltale
