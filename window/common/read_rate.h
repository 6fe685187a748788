// SPDX-License-Identifier: Apache-2.0
// How fast a Run reads, once that can be told without the figure jumping.
#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <optional>
#include <utility>

namespace telltale {

// Fed with the bytes read so far each time the progress is polled, gives the
// mean rate over the last few seconds: a burst or a stall of one poll barely
// moves it, and a lasting change of speed shows within that stretch.
class ReadRate {
 public:
  using TimePoint = std::chrono::steady_clock::time_point;

  // No figure until the samples span this long.
  static constexpr std::chrono::seconds kSteadyAfter{2};
  // The stretch the mean is taken over.
  static constexpr std::chrono::seconds kSpan{5};

  // `done` bytes had been read by `at`. Samples come in time order.
  void Add(TimePoint at, std::uint64_t done);

  // Bytes per second over the last kSpan (or what there is of it); nothing
  // until the samples span kSteadyAfter.
  [[nodiscard]] std::optional<double> BytesPerSecond() const;

 private:
  std::optional<TimePoint> first_;
  // The samples of the last kSpan, and the one just before it.
  std::deque<std::pair<TimePoint, std::uint64_t>> samples_;
};

}  // namespace telltale
