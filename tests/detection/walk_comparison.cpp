// SPDX-License-Identifier: Apache-2.0
#include "walk_comparison.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <random>

#include "telltale/scan_content.h"
#include "test_support.h"

namespace telltale::testing {

const std::vector<Chunking>& Chunkings() {
  static const std::vector<Chunking> chunkings = [] {
    std::vector<Chunking> all{
        {"whole", {std::numeric_limits<std::size_t>::max()}},
        {"one byte", {1}},
        {"odd sizes", {1, 2, 3, 5, 7, 11, 13, 17, 4093, 1, 65537}},
    };
    Chunking random_sizes{"random sizes", {}};
    std::mt19937 random(29);
    std::uniform_int_distribution<std::size_t> size(1, 300);
    for (int k = 0; k < 64; ++k) {
      random_sizes.sizes.push_back(size(random));
    }
    all.push_back(std::move(random_sizes));
    return all;
  }();
  return chunkings;
}

ChunkedWalk WalkInChunks(std::string_view content, const Chunking& chunking) {
  auto walk = std::make_unique<StructureWalk>();
  std::vector<FindingPlace> settled_places(content.size());
  bool settled_went_back = false;
  const Bytes bytes = AsBytes(content);
  std::size_t fed = 0;
  std::size_t placed = 0;
  std::uint64_t last_settled = 0;
  const auto note_settled = [&] {
    const std::uint64_t settled = walk->settled();
    settled_went_back = settled_went_back || settled < last_settled;
    last_settled = settled;
    for (; placed < fed && placed < settled; ++placed) {
      settled_places[placed] = walk->PlaceOf(placed);
    }
  };
  for (std::size_t turn = 0; fed < bytes.size(); ++turn) {
    const std::size_t size =
        std::min(chunking.sizes[turn % chunking.sizes.size()], bytes.size() - fed);
    walk->Feed(bytes.subspan(fed, size));
    fed += size;
    note_settled();
  }
  walk->Finish();
  note_settled();
  return {std::move(walk), std::move(settled_places), settled_went_back};
}

std::string Describe(const WalkOutcome& outcome) {
  std::string text =
      outcome.format == ImageFormat::kNone ? "no format" : std::string(FormatName(outcome.format));
  text += ", appended ";
  if (outcome.appended) {
    text += std::to_string(outcome.appended->offset);
    text += '+';
    text += std::to_string(outcome.appended->length);
    text += ' ';
    text += AppendedStartName(outcome.appended->starts_with);
  } else {
    text += '-';
  }
  text += ", broken at ";
  text += outcome.broken_at ? std::to_string(*outcome.broken_at) : "-";
  return text;
}

std::string Describe(const FindingPlace& place) {
  std::string text = "\"";
  text += place.context;
  text += place.explained ? "\" (explained)" : "\"";
  return text;
}

std::string Describe(const ReferencePlace& place) {
  return Describe(FindingPlace{place.context, place.explained});
}

void ExpectWalkMatchesReference(std::string_view content, std::string_view what) {
  const ReferenceWalk reference(AsBytes(content));
  const std::vector<ScanFinding> findings = ScanContent(AsBytes(content));
  const auto same = [](const FindingPlace& got, const ReferencePlace& expected) {
    return got.context == expected.context && got.explained == expected.explained;
  };
  for (const Chunking& chunking : Chunkings()) {
    std::string trace(what);
    trace += ", fed in chunks: ";
    trace += chunking.name;
    SCOPED_TRACE(trace);
    const ChunkedWalk walked = WalkInChunks(content, chunking);
    EXPECT_EQ(Describe(walked.walk->outcome()), Describe(reference.outcome()));
    EXPECT_FALSE(walked.settled_went_back);
    for (const ScanFinding& finding : findings) {
      const std::uint64_t offset = finding.position - 1;
      EXPECT_EQ(Describe(walked.settled_places[offset]), Describe(reference.PlaceOf(offset)))
          << finding.rule->tool << '@' << finding.position;
    }
    // Most bytes hold no finding, but every one is named by some rule: a
    // walk that names one wrongly would misplace a finding there.
    std::size_t differences = 0;
    std::string first;
    for (std::size_t offset = 0; offset < content.size(); ++offset) {
      const ReferencePlace& expected = reference.PlaceOf(offset);
      for (const FindingPlace& got :
           {walked.settled_places[offset], walked.walk->PlaceOf(offset)}) {
        if (!same(got, expected) && differences++ == 0) {
          first = "first at offset ";
          first += std::to_string(offset);
          first += ": ";
          first += Describe(got);
          first += " rather than ";
          first += Describe(expected);
        }
      }
    }
    EXPECT_EQ(differences, 0U) << first;
  }
}

}  // namespace telltale::testing
