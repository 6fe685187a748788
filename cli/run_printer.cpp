// SPDX-License-Identifier: Apache-2.0
#include "cli/run_printer.h"

#include "cli/count_lines_printer.h"
#include "cli/finding_lines_printer.h"
#include "cli/json_records_printer.h"

namespace telltale::cli {

std::unique_ptr<RunPrinter> MakeRunPrinter(OutputFormat format, PathField path_field,
                                           bool explain) {
  switch (format) {
    case OutputFormat::kCounts:
      return MakeCountLinesPrinter(path_field);
    case OutputFormat::kJson:
      return MakeJsonRecordsPrinter();
    case OutputFormat::kFindings:
      break;
  }
  return MakeFindingLinesPrinter(path_field, explain);
}

}  // namespace telltale::cli
