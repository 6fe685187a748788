#include "detection/run_scan.h"

#include "detection/file_reading.h"
#include "detection/report_builder.h"
#include "detection/reports.h"
#include "detection/scan_content.h"

namespace telltale {

void RunScan(const std::string& path, ResultsSink& sink) {
  // Shown before the file is touched, so that it stays when opening fails.
  sink.SetText(FormatSelectionReport(path));

  const ScanFile file(path);
  const FileContent content = ReadFileContent(file);
  std::string report;
  ScanContent(content, [&](const ScanFinding& finding) {
    AssignFindingReport(report, finding);
    sink.SetText(report);
  });
}

}  // namespace telltale
