// SPDX-License-Identifier: Apache-2.0
#include "telltale/placed_scan.h"

#include <deque>

namespace telltale {

FindingCounts ScanInputPlaced(ScanSource& source, FindingOrder order,
                              const PlacedFindingCallback& on_finding, WalkOutcome& outcome,
                              const ScanControl& control, const ScanSizes& sizes) {
  // The engine hands on a finding only after the bytes it lies in have been
  // passed on, but the walk may need a little more of the input to place it
  // (the rest of a JPEG segment): such findings wait here, in order.
  StructureWalk walk;
  bool finished = false;
  std::deque<ScanFinding> waiting;
  const auto hand_on = [&](const ScanFinding& finding) {
    on_finding(finding, walk.PlaceOf(finding.position - 1));
  };
  const auto hand_on_placed = [&] {
    while (!waiting.empty() && (finished || waiting.front().position - 1 < walk.settled())) {
      const ScanFinding finding = waiting.front();
      waiting.pop_front();
      hand_on(finding);
    }
  };
  const auto finish = [&] {
    if (!finished) {
      walk.Finish();
      finished = true;
    }
    hand_on_placed();
  };

  ScanControl walked = control;
  walked.on_data = [&](std::span<const unsigned char> bytes) {
    if (control.on_data) {
      control.on_data(bytes);
    }
    walk.Feed(bytes);
    hand_on_placed();
  };
  walked.on_end = [&] {
    if (control.on_end) {
      control.on_end();
    }
    finish();
  };
  const FindingCallback place = [&](const ScanFinding& finding) {
    if (waiting.empty() && (finished || finding.position - 1 < walk.settled())) {
      hand_on(finding);
    } else {
      waiting.push_back(finding);
    }
  };

  FindingCounts counts{};
  try {
    counts = ScanInput(source, order, place, walked, sizes);
  } catch (...) {
    // The findings before a failure stand: the walk ends where the reading
    // did, and those still waiting are placed as far as it got.
    outcome = WalkOutcome{};
    try {
      finish();
      outcome = walk.outcome();
    } catch (...) {
      // The first failure is the one to report.
    }
    throw;
  }
  finish();
  outcome = walk.outcome();
  return counts;
}

}  // namespace telltale
