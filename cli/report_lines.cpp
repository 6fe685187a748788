#include "cli/report_lines.h"

#include <charconv>

#include "cli/json_text.h"

namespace telltale::cli {
namespace {

template <class Integer>
void AppendNumber(std::string& out, Integer number) {
  std::array<char, 24> digits{};
  const auto result = std::to_chars(digits.data(), digits.data() + digits.size(), number);
  out.append(digits.data(), result.ptr);
}

// {"path":"...", with "path_hex" added when the name is not UTF-8, so that
// a script can still open exactly the file meant.
std::string JsonPathMembers(std::string_view path) {
  std::string members = "{\"path\":";
  AppendJsonString(members, path);
  if (!IsValidUtf8(path)) {
    members += R"(,"path_hex":")";
    AppendHex(members, path);
    members += '"';
  }
  members += ',';
  return members;
}

}  // namespace

ReportLines::ReportLines(OutputFormat format, std::string_view path)
    : format_(format),
      prefix_(format == OutputFormat::kJson ? JsonPathMembers(path) : std::string(path) + ':') {}

void ReportLines::AppendFinding(std::string& out, const ScanFinding& finding) const {
  out += prefix_;
  if (format_ == OutputFormat::kJson) {
    out += "\"tool\":";
    AppendJsonString(out, finding.rule->tool);
    out += ",\"position\":";
    AppendNumber(out, finding.position);
    out += "}\n";
  } else {
    AppendNumber(out, finding.position);
    out += ':';
    out += finding.rule->tool;
    out += '\n';
  }
}

void ReportLines::AppendCounts(std::string& out, const FindingCounts& counts) const {
  out += prefix_;
  for (std::size_t r = 0; r < counts.size(); ++r) {
    if (r > 0) {
      out += ':';
    }
    AppendNumber(out, counts[r]);
  }
  out += '\n';
}

void ReportLines::AppendFailure(std::string& out, const std::error_code& error) const {
  if (format_ != OutputFormat::kJson) {
    return;
  }
  out += prefix_;
  out += "\"error\":";
  AppendJsonString(out, error.message());
  out += ",\"errno\":";
  AppendNumber(out, error.value());
  out += "}\n";
}

std::string MessageLine(std::string_view message) {
  std::string line = "telltale-scan: ";
  line += message;
  line += '\n';
  return line;
}

}  // namespace telltale::cli
