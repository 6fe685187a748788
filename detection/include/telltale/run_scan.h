// SPDX-License-Identifier: Apache-2.0
// One Run: show the selection, read the file, report every finding.
#pragma once

#include <string>

#include "telltale/results_sink.h"
#include "telltale/scan_input.h"

namespace telltale {

// Sets the selection report, then one report per finding in report order, as
// the file at `path` is streamed through ScanInput: memory stays small
// whatever the file's size. The sink ends with the last text set. Failures,
// a stop requested through `control` included, leave as std::system_error
// naming the file, after it has been closed; the sink then keeps the last
// text it was given.
void RunScan(const std::string& path, ResultsSink& sink, const ScanControl& control = {});

}  // namespace telltale
