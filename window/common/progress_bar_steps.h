// SPDX-License-Identifier: Apache-2.0
// Where a Run's progress bar stands, the same in every front end.
#pragma once

#include <algorithm>
#include <cstdint>

#include "telltale/telltale.h"

namespace telltale {

// The bar's range is 0 to this, in thousandths: a byte count does not fit
// the int a bar takes.
inline constexpr int kProgressBarSteps = 1000;

// The bar's value for `progress`: 0 while the total is unknown.
inline int ProgressBarValue(const ScanProgress& progress) {
  if (progress.total == 0) {
    return 0;
  }
  const std::uint64_t done = std::min(progress.done, progress.total);
  return static_cast<int>(static_cast<double>(done) / static_cast<double>(progress.total) *
                          kProgressBarSteps);
}

}  // namespace telltale
