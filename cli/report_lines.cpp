#include "cli/report_lines.h"

#include <charconv>

#include "cli/json_text.h"
#include "cli/quoted_name.h"

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

ReportLines::ReportLines(OutputFormat format, std::string_view path, bool quote_path, char path_end)
    : format_(format) {
  if (format == OutputFormat::kJson) {
    prefix_ = JsonPathMembers(path);
  } else {
    prefix_ = quote_path ? QuotedName(path) : std::string(path);
    prefix_ += path_end;
  }
}

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

void ReportLines::AppendSkipped(std::string& out, std::string_view reason) const {
  if (format_ != OutputFormat::kJson) {
    return;
  }
  out += prefix_;
  out += "\"skipped\":";
  AppendJsonString(out, reason);
  out += "}\n";
}

void ReportLines::AppendChanged(std::string& out) const {
  if (format_ != OutputFormat::kJson) {
    return;
  }
  out += prefix_;
  out += "\"changed\":true}\n";
}

std::string MessageLine(std::string_view message) {
  std::string line = "telltale-scan: ";
  line += message;
  line += '\n';
  return line;
}

std::string FailureMessage(std::string_view name, const std::system_error& error) {
  const std::string_view what = error.what();
  if (what.starts_with(name) && what.substr(name.size()).starts_with(": ")) {
    return QuotedName(name) + std::string(what.substr(name.size()));
  }
  return QuotedName(name) + ": " + error.code().message();
}

}  // namespace telltale::cli
