// SPDX-License-Identifier: Apache-2.0
#include "cli/finding_lines_printer.h"

#include <utility>

#include "cli/json_text.h"

namespace telltale::cli {
namespace {

// Failures and skips are reported on standard error only.
class FindingLines final : public InputPrinter {
 public:
  FindingLines(std::string line_start, bool explain)
      : line_start_(std::move(line_start)), explain_(explain) {}

  void Finding(std::string& out, const ScanFinding& finding,
               const std::optional<FindingPlace>& place) const override {
    out += line_start_;
    AppendNumber(out, finding.position);
    out += ':';
    out += finding.rule->tool;
    if (explain_) {
      // The last field, so that a context holding a colon ("EXIF thumbnail:
      // ...") still splits: everything after the third colon is the place.
      out += ':';
      if (place) {
        out += place->context;
      }
    }
    out += '\n';
  }
  void Scanned(std::string& /*out*/, const ScannedInput& /*input*/) const override {}
  void Failed(std::string& /*out*/, const std::system_error& /*error*/) const override {}
  void Skipped(std::string& /*out*/, std::string_view /*reason*/) const override {}

 private:
  std::string line_start_;
  bool explain_;
};

class FindingLinesPrinter final : public RunPrinter {
 public:
  FindingLinesPrinter(PathField path_field, bool explain)
      : path_field_(path_field), explain_(explain) {}

  [[nodiscard]] FindingOrder finding_order() const override { return FindingOrder::kReport; }
  [[nodiscard]] bool places_findings() const override { return explain_; }
  void RunStarted(std::string& /*out*/, const RunStart& /*start*/) const override {}
  [[nodiscard]] std::unique_ptr<InputPrinter> ForInput(std::string_view path) const override {
    return std::make_unique<FindingLines>(path_field_.LineStart(path), explain_);
  }
  void RunEnded(std::string& /*out*/, const RunTotals& /*totals*/) const override {}

 private:
  PathField path_field_;
  bool explain_;
};

}  // namespace

std::unique_ptr<RunPrinter> MakeFindingLinesPrinter(PathField path_field, bool explain) {
  return std::make_unique<FindingLinesPrinter>(path_field, explain);
}

}  // namespace telltale::cli
