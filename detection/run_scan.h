// One Run: show the selection, read the file, report every finding.
#pragma once

#include <string>

#include "detection/results_sink.h"

namespace telltale {

// Sets the selection report, reads the file at `path` whole, then sets one
// report per finding in scan order. The sink ends with the last text set.
// Failures leave as std::system_error after the file has been closed; the
// sink then still holds the selection report.
void RunScan(const std::string& path, ResultsSink& sink);

}  // namespace telltale
