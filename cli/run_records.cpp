#include "cli/run_records.h"

#include <algorithm>

#include "cli/json_text.h"

namespace telltale::cli {
namespace {

// `number` with zeros in front up to `width` digits.
void AppendPadded(std::string& out, std::uint64_t number, std::size_t width) {
  std::string digits;
  AppendNumber(digits, number);
  out.append(width - std::min(width, digits.size()), '0');
  out += digits;
}

// 2026-12-07T16:05:09.123Z: the system clock counts UTC.
std::string UtcTime(std::chrono::system_clock::time_point when) {
  namespace chrono = std::chrono;
  const auto since_epoch = chrono::floor<chrono::milliseconds>(when);
  const auto day = chrono::floor<chrono::days>(since_epoch);
  const chrono::year_month_day date(day);
  const chrono::hh_mm_ss time(since_epoch - day);
  std::string text;
  AppendPadded(text, static_cast<std::uint64_t>(static_cast<int>(date.year())), 4);
  text += '-';
  AppendPadded(text, static_cast<unsigned>(date.month()), 2);
  text += '-';
  AppendPadded(text, static_cast<unsigned>(date.day()), 2);
  text += 'T';
  AppendPadded(text, static_cast<std::uint64_t>(time.hours().count()), 2);
  text += ':';
  AppendPadded(text, static_cast<std::uint64_t>(time.minutes().count()), 2);
  text += ':';
  AppendPadded(text, static_cast<std::uint64_t>(time.seconds().count()), 2);
  text += '.';
  AppendPadded(text, static_cast<std::uint64_t>(time.subseconds().count()), 3);
  text += 'Z';
  return text;
}

}  // namespace

std::string RunRecord(const std::vector<std::string>& command_line,
                      std::chrono::system_clock::time_point started,
                      std::string_view access_times) {
  std::string out = R"({"type":"run","tool":"telltale-scan","version":)";
  AppendJsonString(out, kVersion);
  out += R"(,"command_line":[)";
  for (std::size_t i = 0; i < command_line.size(); ++i) {
    if (i > 0) {
      out += ',';
    }
    AppendJsonString(out, command_line[i]);
  }
  out += R"(],"started":")";
  out += UtcTime(started);
  out += R"(","access_times":)";
  AppendJsonString(out, access_times);
  out += "}\n";
  return out;
}

std::string SummaryRecord(const RunTotals& totals) {
  std::string out = R"({"type":"summary","scanned":)";
  AppendNumber(out, totals.scanned);
  out += R"(,"failed":)";
  AppendNumber(out, totals.failed);
  out += R"(,"skipped":)";
  AppendNumber(out, totals.skipped);
  out += R"(,"bytes":)";
  AppendNumber(out, totals.bytes);
  out += R"(,"findings":)";
  AppendToolCounts(out, totals.findings);
  const auto micros = static_cast<std::uint64_t>(
      std::chrono::duration_cast<std::chrono::microseconds>(totals.elapsed).count());
  out += R"(,"elapsed_seconds":)";
  AppendNumber(out, micros / 1'000'000);
  out += '.';
  AppendPadded(out, micros % 1'000'000, 6);
  out += R"(,"exit_status":)";
  AppendNumber(out, static_cast<std::uint64_t>(totals.exit_status));
  out += "}\n";
  return out;
}

}  // namespace telltale::cli
