// SPDX-License-Identifier: Apache-2.0
// The places a walk has found, as consecutive regions of the input, each
// with the text that names it. Private to the detection library.
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "telltale/structure_walk.h"

namespace telltale {

class RegionList {
 public:
  // A walk keeps at most this many regions (16 bytes each); past it, the
  // rest of the input is one region that says the walk stopped.
  static constexpr std::size_t kMaxRegions = std::size_t{1} << 16;

  // Starts a region at `start`, no earlier than the last one's start, that
  // runs to the next region's start. A region with the same text and verdict
  // as the one before it extends that one. Once full, marks are ignored.
  void Mark(std::uint64_t start, std::string_view context, bool explained = false);

  // Whether the list has stopped taking regions.
  [[nodiscard]] bool full() const { return full_; }

  // The region holding `offset`; before the first region, an empty context.
  [[nodiscard]] FindingPlace At(std::uint64_t offset) const;

 private:
  struct Label {
    std::string context;
    bool explained;
  };
  std::uint32_t LabelId(std::string_view context, bool explained);

  std::vector<std::uint64_t> starts_;
  std::vector<std::uint32_t> labels_;  // by region
  std::deque<Label> label_texts_;      // by id; a deque keeps the texts in place
  std::map<std::pair<std::string, bool>, std::uint32_t, std::less<>> ids_;
  bool full_ = false;
};

}  // namespace telltale
