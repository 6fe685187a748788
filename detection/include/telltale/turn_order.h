// SPDX-License-Identifier: Apache-2.0
// Items finished out of order by several threads, handed on in order.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace telltale {

// Items are numbered 0, 1, 2, ...; it is one item's turn at a time, from 0
// on. A thread holding the mutex waits for its item's turn, hands the item on
// and passes the turn to the next. Stop ends the turns: every waiter wakes,
// as on a failure after which nothing more is handed on.
//
// The scan's readers hand on their chunks' findings in position order with
// it, and telltale-scan's jobs their inputs' output in input order.
class TurnOrder {
 public:
  [[nodiscard]] std::mutex& mutex() { return mutex_; }

  // With the mutex held through `lock`: waits until it is `item`'s turn, the
  // turns have stopped, or `also()` holds, and returns whether it is the
  // item's turn.
  template <typename Condition>
  bool WaitForTurnOr(std::unique_lock<std::mutex>& lock, std::uint64_t item, Condition also) {
    changed_.wait(lock, [&] { return item <= turn_ || stopped_ || also(); });
    return item == turn_ && !stopped_;
  }
  bool WaitForTurn(std::unique_lock<std::mutex>& lock, std::uint64_t item) {
    return WaitForTurnOr(lock, item, [] { return false; });
  }
  // Waits, with the mutex held, until `condition()` holds or the turns have
  // stopped; Changed wakes it to look again.
  template <typename Condition>
  void WaitUntil(std::unique_lock<std::mutex>& lock, Condition condition) {
    changed_.wait(lock, [&] { return stopped_ || condition(); });
  }

  // With the mutex held.
  [[nodiscard]] bool IsTurnOf(std::uint64_t item) const { return item == turn_ && !stopped_; }
  [[nodiscard]] std::uint64_t turn() const { return turn_; }
  [[nodiscard]] bool stopped() const { return stopped_; }
  // Passes the turn to the next item.
  void Next() {
    ++turn_;
    changed_.notify_all();
  }
  // Wakes the waiters to look again at what their `also` waits for.
  void Changed() { changed_.notify_all(); }
  void Stop() {
    stopped_ = true;
    changed_.notify_all();
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::uint64_t turn_ = 0;
  bool stopped_ = false;
};

}  // namespace telltale
