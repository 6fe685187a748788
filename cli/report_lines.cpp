#include "cli/report_lines.h"

#include "cli/json_text.h"
#include "detection/quoted_name.h"

namespace telltale::cli {
namespace {

// "path":"..." with "path_hex" added when the name is not UTF-8, so that
// a script can still open exactly the file meant.
std::string JsonPathMembers(std::string_view path) {
  std::string members = "\"path\":";
  AppendJsonString(members, path);
  if (!IsValidUtf8(path)) {
    members += R"(,"path_hex":")";
    AppendHex(members, path);
    members += '"';
  }
  return members;
}

}  // namespace

ReportLines::ReportLines(OutputFormat format, std::string_view path, bool quote_path, char path_end)
    : format_(format), path_(path) {
  if (format == OutputFormat::kJson) {
    prefix_ = JsonPathMembers(path);
  } else {
    prefix_ = quote_path ? QuotedName(path) : std::string(path);
    prefix_ += path_end;
  }
}

void ReportLines::AppendFinding(std::string& out, const ScanFinding& finding) const {
  if (format_ != OutputFormat::kJson) {
    out += prefix_;
    AppendNumber(out, finding.position);
    out += ':';
    out += finding.rule->tool;
    out += '\n';
    return;
  }
  out += R"({"type":"finding",)";
  out += prefix_;
  out += R"(,"tool":)";
  AppendJsonString(out, finding.rule->tool);
  out += R"(,"position":)";
  AppendNumber(out, finding.position);
  out += R"(,"offset":)";
  AppendNumber(out, finding.position - 1);
  out += "}\n";
}

void ReportLines::AppendScanned(std::string& out, const ScannedInput& input) const {
  if (format_ == OutputFormat::kCounts) {
    out += prefix_;
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
  if (format_ != OutputFormat::kJson) {
    return;
  }
  out += R"({"type":"file",)";
  out += prefix_;
  out += R"(,"bytes":)";
  AppendNumber(out, input.bytes);
  out += R"(,"counts":)";
  AppendToolCounts(out, input.counts);
  out += R"(,"changed":)";
  out += input.changed ? "true" : "false";
  if (input.access_time_kept) {
    out += R"(,"access_time_kept":)";
    out += *input.access_time_kept ? "true" : "false";
  }
  if (!input.sha256.empty()) {
    out += R"(,"sha256":")";
    out += input.sha256;
    out += '"';
  }
  out += "}\n";
}

void ReportLines::AppendFailure(std::string& out, const std::system_error& error) const {
  if (format_ != OutputFormat::kJson) {
    return;
  }
  out += R"({"type":"error",)";
  out += prefix_;
  out += R"(,"error":)";
  AppendJsonString(out, FailureDescription(path_, error));
  out += R"(,"errno":)";
  AppendNumber(out, error.code().value());
  out += "}\n";
}

void ReportLines::AppendSkipped(std::string& out, std::string_view reason) const {
  if (format_ != OutputFormat::kJson) {
    return;
  }
  out += R"({"type":"skipped",)";
  out += prefix_;
  out += R"(,"reason":)";
  AppendJsonString(out, reason);
  out += "}\n";
}

}  // namespace telltale::cli
