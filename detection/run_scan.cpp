#include "detection/run_scan.h"

#include "detection/input_file.h"
#include "detection/internal/report_builder.h"
#include "detection/reports.h"
#include "detection/scan_error.h"

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
