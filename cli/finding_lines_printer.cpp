// SPDX-License-Identifier: Apache-2.0
#include "cli/finding_lines_printer.h"

#include <utility>

#include "cli/json_text.h"

namespace telltale::cli {
namespace {

// Failures and skips are reported on standard error only.
class FindingLines final : public InputPrinter {
 public:
  explicit FindingLines(std::string line_start) : line_start_(std::move(line_start)) {}

  void Finding(std::string& out, const ScanFinding& finding) const override {
    out += line_start_;
    AppendNumber(out, finding.position);
    out += ':';
    out += finding.rule->tool;
    out += '\n';
  }
  void Scanned(std::string& /*out*/, const ScannedInput& /*input*/) const override {}
  void Failed(std::string& /*out*/, const std::system_error& /*error*/) const override {}
  void Skipped(std::string& /*out*/, std::string_view /*reason*/) const override {}

 private:
  std::string line_start_;
};

class FindingLinesPrinter final : public RunPrinter {
 public:
  explicit FindingLinesPrinter(PathField path_field) : path_field_(path_field) {}

  [[nodiscard]] FindingOrder finding_order() const override { return FindingOrder::kReport; }
  void RunStarted(std::string& /*out*/, const RunStart& /*start*/) const override {}
  [[nodiscard]] std::unique_ptr<InputPrinter> ForInput(std::string_view path) const override {
    return std::make_unique<FindingLines>(path_field_.LineStart(path));
  }
  void RunEnded(std::string& /*out*/, const RunTotals& /*totals*/) const override {}

 private:
  PathField path_field_;
};

}  // namespace

std::unique_ptr<RunPrinter> MakeFindingLinesPrinter(PathField path_field) {
  return std::make_unique<FindingLinesPrinter>(path_field);
}

}  // namespace telltale::cli
