// SPDX-License-Identifier: Apache-2.0
// Items finished out of order by several threads come out in order, and a
// stop lets every waiting thread go.
#include "telltale/turn_order.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <random>
#include <thread>
#include <vector>

namespace telltale {
namespace {

TEST(TurnOrder, ItemsFinishedOutOfOrderAreHandedOnInOrder) {
  constexpr std::uint64_t kItems = 400;
  constexpr std::uint64_t kThreads = 4;
  TurnOrder turns;
  std::vector<std::uint64_t> handed_on;
  {
    std::vector<std::jthread> threads;
    for (std::uint64_t t = 0; t < kThreads; ++t) {
      threads.emplace_back([&, t] {
        std::minstd_rand random(static_cast<std::uint32_t>(t + 1));
        for (std::uint64_t item = t; item < kItems; item += kThreads) {
          // Work of uneven length, so that threads arrive out of turn.
          std::this_thread::sleep_for(std::chrono::microseconds(random() % 200));
          std::unique_lock lock(turns.mutex());
          ASSERT_TRUE(turns.WaitForTurn(lock, item));
          handed_on.push_back(item);
          turns.Next();
        }
      });
    }
  }
  ASSERT_EQ(handed_on.size(), kItems);
  for (std::uint64_t i = 0; i < kItems; ++i) {
    ASSERT_EQ(handed_on[i], i);
  }
}

TEST(TurnOrder, StopWakesEveryWaiterWithoutItsTurn) {
  TurnOrder turns;
  std::vector<int> got(3, -1);
  {
    std::vector<std::jthread> waiters;
    for (std::uint64_t item = 1; item <= got.size(); ++item) {
      waiters.emplace_back([&, item] {
        std::unique_lock lock(turns.mutex());
        got[item - 1] = turns.WaitForTurn(lock, item) ? 1 : 0;
      });
    }
    const std::lock_guard lock(turns.mutex());
    turns.Stop();
  }
  EXPECT_EQ(got, std::vector<int>({0, 0, 0}));
  std::unique_lock lock(turns.mutex());
  EXPECT_FALSE(turns.WaitForTurn(lock, 0)) << "no turn is given after a stop";
}

}  // namespace
}  // namespace telltale
