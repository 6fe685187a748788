// SPDX-License-Identifier: Apache-2.0
#include "cli/count_lines_printer.h"

#include <cstddef>
#include <utility>

#include "cli/json_text.h"

namespace telltale::cli {
namespace {

// Failures and skips are reported on standard error only: an input that
// fails gets no line.
class CountLine final : public InputPrinter {
 public:
  explicit CountLine(std::string line_start) : line_start_(std::move(line_start)) {}

  void Finding(std::string& /*out*/, const ScanFinding& /*finding*/,
               const std::optional<FindingPlace>& /*place*/) const override {}
  void Scanned(std::string& out, const ScannedInput& input) const override {
    out += line_start_;
    for (std::size_t r = 0; r < input.counts.size(); ++r) {
      if (r > 0) {
        out += ':';
      }
      AppendNumber(out, input.counts[r]);
    }
    if (!input.sha256.empty()) {
      out += ':';
      out += input.sha256;
    }
    out += '\n';
  }
  void Failed(std::string& /*out*/, const std::system_error& /*error*/) const override {}
  void Skipped(std::string& /*out*/, std::string_view /*reason*/) const override {}

 private:
  std::string line_start_;
};

class CountLinesPrinter final : public RunPrinter {
 public:
  explicit CountLinesPrinter(PathField path_field) : path_field_(path_field) {}

  [[nodiscard]] FindingOrder finding_order() const override { return FindingOrder::kAsFound; }
  // Like grep -c, which ignores -n and -b: a count has no finding to place.
  [[nodiscard]] bool places_findings() const override { return false; }
  void RunStarted(std::string& /*out*/, const RunStart& /*start*/) const override {}
  [[nodiscard]] std::unique_ptr<InputPrinter> ForInput(std::string_view path) const override {
    return std::make_unique<CountLine>(path_field_.LineStart(path));
  }
  void RunEnded(std::string& /*out*/, const RunTotals& /*totals*/) const override {}

 private:
  PathField path_field_;
};

}  // namespace

std::unique_ptr<RunPrinter> MakeCountLinesPrinter(PathField path_field) {
  return std::make_unique<CountLinesPrinter>(path_field);
}

}  // namespace telltale::cli
