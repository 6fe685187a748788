// SPDX-License-Identifier: Apache-2.0
// The scan of one input with the structure walk beside it: each finding is
// handed on with its place in the input's own structure.
#pragma once

#include <functional>

#include "telltale/scan_input.h"
#include "telltale/structure_walk.h"

namespace telltale {

// `place.context` is valid only during the call.
using PlacedFindingCallback =
    std::function<void(const ScanFinding& finding, const FindingPlace& place)>;

// ScanInput, with every byte also walked in the same pass. The findings are
// the same, in the same order; each waits, if need be, until the walk has
// placed it (at most one JPEG segment's worth). `outcome` is what the walk
// learnt of the whole input, set when the scan ends, and as far as the input
// was read when it fails: the findings handed on before a failure stand.
FindingCounts ScanInputPlaced(ScanSource& source, FindingOrder order,
                              const PlacedFindingCallback& on_finding, WalkOutcome& outcome,
                              const ScanControl& control = {}, const ScanSizes& sizes = {});

}  // namespace telltale
