// SPDX-License-Identifier: Apache-2.0
#include "telltale/reports.h"

#include <charconv>
#include <iterator>

#include "internal/report_builder.h"

namespace telltale {

std::string FormatFindingReport(const ScanFinding& finding) {
  std::string text;
  AssignFindingReport(text, finding);
  return text;
}

std::string FormatSelectionReport(std::string_view path) {
  std::string text = "You Selected ";
  text.append(path);
  text.append(" to be opened. Sorry no Steg found.");
  return text;
}

void AssignFindingReport(std::string& text, const ScanFinding& finding) {
  text.assign("\r\nSteganography found at marker position ");
  char digits[24];
  auto* const end = std::to_chars(std::begin(digits), std::end(digits), finding.position).ptr;
  text.append(digits, end);
  text.append("\r\n");
  text.append(finding.rule->tool_line);
}

}  // namespace telltale
