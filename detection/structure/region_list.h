// SPDX-License-Identifier: Apache-2.0
// The places a walk has found, as consecutive regions of the input, each
// with the text that names it. Private to the detection library.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
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
    std::string_view text;  // kept in blocks_
    bool explained;
  };
  std::uint32_t LabelId(std::string_view context, bool explained);
  // A copy of `text` that stays in place as long as the list.
  std::string_view Keep(std::string_view text);

  std::vector<std::uint64_t> starts_;
  std::vector<std::uint32_t> labels_;  // by region: an index into label_list_
  // A photo's walk names a few dozen places but names them often: the texts
  // are kept end to end in blocks and looked up one by one, which costs less
  // than a map and its allocations. Past kLabelsLookedUpInTurn labels
  // (hostile inputs can have thousands), an index by hash takes over.
  static constexpr std::size_t kLabelsLookedUpInTurn = 32;
  std::vector<Label> label_list_;
  std::unordered_multimap<std::size_t, std::uint32_t> index_;  // id by the text's hash
  std::vector<std::unique_ptr<char[]>> blocks_;
  std::span<char> block_left_;  // the unused end of the last block
  bool full_ = false;
};

}  // namespace telltale
