// SPDX-License-Identifier: Apache-2.0
// Feeding the structure walk an input in chunks, as the scan hands it what
// its reads give, and comparing what it says with the reference walk.
#pragma once

#include <cstddef>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "reference_walk.h"
#include "telltale/structure_walk.h"

namespace telltale::testing {

// Chunk sizes, taken in turn and over again.
struct Chunking {
  std::string name;
  std::vector<std::size_t> sizes;
};

// All at once, a byte at a time, odd sizes across every kind of boundary,
// and seeded random sizes.
const std::vector<Chunking>& Chunkings();

struct ChunkedWalk {
  std::unique_ptr<StructureWalk> walk;  // finished; holds the places' texts
  // By offset: the place read as soon as settled() had passed the offset
  // after a feed that reached it.
  std::vector<FindingPlace> settled_places;
  bool settled_went_back = false;
};

ChunkedWalk WalkInChunks(std::string_view content, const Chunking& chunking);

// "jpeg, appended 10+5 zip, broken at -": an outcome as one line, so that a
// difference reads at once.
std::string Describe(const WalkOutcome& outcome);
std::string Describe(const FindingPlace& place);
std::string Describe(const ReferencePlace& place);

// For every chunking: the outcome, the place of every finding the scan
// reports and of every other byte, as soon as settled and at the end, are
// the reference walk's.
void ExpectWalkMatchesReference(std::string_view content, std::string_view what);

}  // namespace telltale::testing
