// SPDX-License-Identifier: Apache-2.0
#include "cli/json_records_printer.h"

#include <algorithm>
#include <cstddef>
#include <utility>

#include "cli/error_messages.h"
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
void AppendUtcTime(std::string& out, std::chrono::system_clock::time_point when) {
  namespace chrono = std::chrono;
  const auto since_epoch = chrono::floor<chrono::milliseconds>(when);
  const auto day = chrono::floor<chrono::days>(since_epoch);
  const chrono::year_month_day date(day);
  const chrono::hh_mm_ss time(since_epoch - day);
  AppendPadded(out, static_cast<std::uint64_t>(static_cast<int>(date.year())), 4);
  out += '-';
  AppendPadded(out, static_cast<unsigned>(date.month()), 2);
  out += '-';
  AppendPadded(out, static_cast<unsigned>(date.day()), 2);
  out += 'T';
  AppendPadded(out, static_cast<std::uint64_t>(time.hours().count()), 2);
  out += ':';
  AppendPadded(out, static_cast<std::uint64_t>(time.minutes().count()), 2);
  out += ':';
  AppendPadded(out, static_cast<std::uint64_t>(time.seconds().count()), 2);
  out += '.';
  AppendPadded(out, static_cast<std::uint64_t>(time.subseconds().count()), 3);
  out += 'Z';
}

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

// "image":"...", "partition":{"index":N,"offset":BYTES}, "fs_path":"...",
// "meta_address":N and "allocated":true or false, each where known: the
// parts of a name inside a disk image, which "path" joins.
std::string JsonImageMembers(const ImagePlace& place) {
  std::string members = R"(,"image":)";
  AppendJsonString(members, place.image);
  if (place.partition) {
    members += R"(,"partition":{"index":)";
    AppendNumber(members, place.partition->index);
    members += R"(,"offset":)";
    AppendNumber(members, place.partition->offset);
    members += '}';
  }
  if (!place.path.empty()) {
    members += R"(,"fs_path":)";
    AppendJsonString(members, place.path);
  }
  if (place.unallocated) {
    members += R"(,"unallocated":{"offset":)";
    AppendNumber(members, place.unallocated->image_offset);
    members += R"(,"length":)";
    AppendNumber(members, place.unallocated->length);
    members += '}';
  }
  if (place.meta_address) {
    members += R"(,"meta_address":)";
    AppendNumber(members, *place.meta_address);
  }
  if (place.allocated) {
    members += R"(,"allocated":)";
    members += *place.allocated ? "true" : "false";
  }
  return members;
}

// "format":"jpeg" (or null), "appended":{...} where data follows the
// image's own end, and "structure_breaks_at" where the walk could not follow
// the structure: a cut or altered file says so even with no finding past it.
void AppendWalkMembers(std::string& out, const WalkOutcome& walk) {
  out += R"(,"format":)";
  if (walk.format == ImageFormat::kNone) {
    out += "null";
  } else {
    AppendJsonString(out, FormatName(walk.format));
  }
  if (walk.appended) {
    out += R"(,"appended":{"offset":)";
    AppendNumber(out, walk.appended->offset);
    out += R"(,"length":)";
    AppendNumber(out, walk.appended->length);
    out += R"(,"starts_with":)";
    AppendJsonString(out, AppendedStartName(walk.appended->starts_with));
    out += '}';
  }
  if (walk.broken_at) {
    out += R"(,"structure_breaks_at":)";
    AppendNumber(out, *walk.broken_at);
  }
}

// A finding record per finding, then one file, error or skipped record.
class InputRecords final : public InputPrinter {
 public:
  explicit InputRecords(std::string_view path)
      : path_(path), path_members_(JsonPathMembers(path)) {}
  explicit InputRecords(const ImagePlace& place) : InputRecords(place.Name()) {
    path_members_ += JsonImageMembers(place);
    image_place_ = place;
  }

  void Finding(std::string& out, const ScanFinding& finding,
               const std::optional<FindingPlace>& place) const override {
    out += R"({"type":"finding",)";
    out += path_members_;
    out += R"(,"tool":)";
    AppendJsonString(out, finding.rule->tool);
    out += R"(,"position":)";
    AppendNumber(out, finding.position);
    out += R"(,"offset":)";
    AppendNumber(out, finding.position - 1);
    if (image_place_) {
      if (const std::optional<std::uint64_t> in_image =
              image_place_->ImageOffset(finding.position - 1)) {
        out += R"(,"image_offset":)";
        AppendNumber(out, *in_image);
      }
    }
    if (place) {
      out += R"(,"context":)";
      AppendJsonString(out, place->context);
      out += R"(,"explained":)";
      out += place->explained ? "true" : "false";
    }
    out += "}\n";
  }

  void Scanned(std::string& out, const ScannedInput& input) const override {
    out += R"({"type":"file",)";
    out += path_members_;
    out += R"(,"bytes":)";
    AppendNumber(out, input.bytes);
    out += R"(,"counts":)";
    AppendToolCounts(out, input.counts);
    if (input.explained_left_out) {
      out += R"(,"explained_left_out":)";
      AppendNumber(out, *input.explained_left_out);
    }
    if (input.walk) {
      AppendWalkMembers(out, *input.walk);
    }
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

  void Failed(std::string& out, const std::system_error& error) const override {
    out += R"({"type":"error",)";
    out += path_members_;
    out += R"(,"error":)";
    AppendJsonString(out, FailureDescription(path_, error));
    out += R"(,"errno":)";
    AppendNumber(out, error.code().value());
    out += "}\n";
  }

  void ImageOpened(std::string& out, const ImageDescription& image) const override {
    out += R"({"type":"image",)";
    out += path_members_;
    out += R"(,"format":)";
    AppendJsonString(out, image.format);
    out += R"(,"size":)";
    AppendNumber(out, image.size);
    out += R"(,"stored_md5":)";
    if (image.stored_md5) {
      AppendJsonString(out, *image.stored_md5);
    } else {
      out += "null";
    }
    out += R"(,"verified":)";
    out += image.verified ? "true" : "false";
    out += "}\n";
  }

  void Skipped(std::string& out, std::string_view reason) const override {
    out += R"({"type":"skipped",)";
    out += path_members_;
    out += R"(,"reason":)";
    AppendJsonString(out, reason);
    out += "}\n";
  }

 private:
  std::string path_;
  std::string path_members_;
  // Inside a disk image: where the file's content lies there.
  std::optional<ImagePlace> image_place_;
};

// The run record first, what ran and when, and the summary last.
class JsonRecordsPrinter final : public RunPrinter {
 public:
  JsonRecordsPrinter() = default;

  [[nodiscard]] FindingOrder finding_order() const override { return FindingOrder::kReport; }
  // A record an examiner cites says where each finding lies.
  [[nodiscard]] bool places_findings() const override { return true; }

  void RunStarted(std::string& out, const RunStart& start) const override {
    out += R"({"type":"run","tool":"telltale-scan","version":)";
    AppendJsonString(out, kVersion);
    out += R"(,"command_line":[)";
    for (std::size_t i = 0; i < start.command_line.size(); ++i) {
      if (i > 0) {
        out += ',';
      }
      AppendJsonString(out, start.command_line[i]);
    }
    out += R"(],"started":")";
    AppendUtcTime(out, start.started);
    out += R"(","access_times":)";
    AppendJsonString(out, start.access_times);
    out += "}\n";
  }

  [[nodiscard]] std::unique_ptr<InputPrinter> ForInput(std::string_view path) const override {
    return std::make_unique<InputRecords>(path);
  }
  [[nodiscard]] std::unique_ptr<InputPrinter> ForImagePlace(
      const ImagePlace& place) const override {
    return std::make_unique<InputRecords>(place);
  }

  void RunEnded(std::string& out, const RunTotals& totals) const override {
    out += R"({"type":"summary","scanned":)";
    AppendNumber(out, totals.scanned);
    out += R"(,"failed":)";
    AppendNumber(out, totals.failed);
    out += R"(,"skipped":)";
    AppendNumber(out, totals.skipped);
    out += R"(,"bytes":)";
    AppendNumber(out, totals.bytes);
    out += R"(,"findings":)";
    AppendToolCounts(out, totals.findings);
    if (totals.explained_left_out) {
      out += R"(,"explained_left_out":)";
      AppendNumber(out, *totals.explained_left_out);
    }
    const auto micros = static_cast<std::uint64_t>(
        std::chrono::duration_cast<std::chrono::microseconds>(totals.elapsed).count());
    out += R"(,"elapsed_seconds":)";
    AppendNumber(out, micros / 1'000'000);
    out += '.';
    AppendPadded(out, micros % 1'000'000, 6);
    out += R"(,"exit_status":)";
    AppendNumber(out, static_cast<std::uint64_t>(totals.exit_status));
    out += "}\n";
  }
};

}  // namespace

std::unique_ptr<RunPrinter> MakeJsonRecordsPrinter() {
  return std::make_unique<JsonRecordsPrinter>();
}

}  // namespace telltale::cli
