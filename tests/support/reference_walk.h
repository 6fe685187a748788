// SPDX-License-Identifier: Apache-2.0
// The plain definition of the structure walk, kept simple on purpose: the
// whole input at once, every byte given its place by the rules of
// docs/finding-places.md, the formats' parts followed by loops and
// recursion. The library's streaming walk is checked against it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "telltale/marker_search.h"
#include "telltale/structure_walk.h"

namespace telltale {

struct ReferencePlace {
  std::string context;
  bool explained = false;

  friend bool operator==(const ReferencePlace&, const ReferencePlace&) = default;
};

class ReferenceWalk {
 public:
  explicit ReferenceWalk(Bytes content);

  // The place of the byte at 0-based `offset`, which must be inside the
  // input.
  [[nodiscard]] const ReferencePlace& PlaceOf(std::uint64_t offset) const;
  [[nodiscard]] const WalkOutcome& outcome() const { return outcome_; }

 private:
  std::vector<ReferencePlace> places_;  // every distinct place
  std::vector<std::uint32_t> place_of_byte_;
  WalkOutcome outcome_;
};

}  // namespace telltale
