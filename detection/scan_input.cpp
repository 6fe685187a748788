// SPDX-License-Identifier: Apache-2.0
#include "telltale/scan_input.h"

#include <algorithm>

#include "internal/scan_pass.h"
#include "telltale/scan_error.h"

namespace telltale {

FindingCounts ScanInput(ScanSource& source, FindingOrder order, const FindingCallback& on_finding,
                        const ScanControl& control, const ScanSizes& sizes) {
  return TranslatingOutOfMemory(source.name(), [&] {
    ScanPass pass(source, on_finding, control, std::max<std::size_t>(sizes.block, 1));
    std::size_t chunk = std::max<std::size_t>(sizes.chunk, 1);
    const std::optional<std::uint64_t> size = source.size();
    if (size && source.CanReadAgain()) {
      // A small file needs no more buffer, nor more threads, than itself.
      chunk = static_cast<std::size_t>(std::clamp<std::uint64_t>(*size, 1, chunk));
      const std::uint64_t chunks = (*size + chunk - 1) / chunk;
      const auto workers = static_cast<std::size_t>(
          std::clamp<std::uint64_t>(chunks, 1, std::max<std::size_t>(sizes.workers, 1)));
      pass.AddToTotal(*size);
      ScanFile(pass, *size, chunk, workers);
    } else {
      ScanStream(pass, order, chunk, sizes.held_in_memory);
    }
    return pass.counts();
  });
}

}  // namespace telltale
