// SPDX-License-Identifier: Apache-2.0
#include "telltale/run_scan.h"

#include "internal/report_builder.h"
#include "telltale/input_file.h"
#include "telltale/reports.h"
#include "telltale/scan_error.h"

namespace telltale {

void RunScan(const std::string& path, ResultsSink& sink, const ScanControl& control) {
  TranslatingOutOfMemory(path, [&] {
    // Shown before the file is touched, so that it stays when opening fails.
    sink.SetText(FormatSelectionReport(path));

    InputFile file(path);
    std::string report;
    ScanInput(
        file, FindingOrder::kReport,
        [&](const ScanFinding& finding) {
          AssignFindingReport(report, finding);
          sink.SetText(report);
        },
        control);
  });
}

}  // namespace telltale
