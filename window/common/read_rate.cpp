// SPDX-License-Identifier: Apache-2.0
#include "window/common/read_rate.h"

namespace telltale {

void ReadRate::Add(TimePoint at, std::uint64_t done) {
  if (!first_) {
    first_ = at;
  }
  samples_.emplace_back(at, done);
  while (samples_.size() > 2 && samples_[1].first <= at - kSpan) {
    samples_.pop_front();
  }
}

std::optional<double> ReadRate::BytesPerSecond() const {
  if (samples_.size() < 2 || samples_.back().first - *first_ < kSteadyAfter) {
    return std::nullopt;
  }
  const auto& [from, done_before] = samples_.front();
  const auto& [to, done] = samples_.back();
  const std::chrono::duration<double> elapsed = to - from;
  const std::uint64_t read = done > done_before ? done - done_before : 0;
  return static_cast<double>(read) / elapsed.count();
}

}  // namespace telltale
