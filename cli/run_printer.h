// SPDX-License-Identifier: Apache-2.0
// What telltale-scan prints on standard output as a run goes: a printer per
// output format, told each event of the run in order.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <system_error>

#include "cli/image_description.h"
#include "cli/image_place.h"
#include "cli/output_format.h"
#include "cli/path_field.h"
#include "telltale/telltale.h"

namespace telltale::cli {

struct RunStart {
  // The words the run was started with, as typed.
  std::span<const std::string> command_line;
  std::chrono::system_clock::time_point started;
  // How the run treats the access times of what it reads, as
  // AccessTimeHandling says.
  std::string_view access_times;
};

// What is known of an input scanned to its end.
struct ScannedInput {
  std::uint64_t bytes = 0;
  FindingCounts counts{};
  bool changed = false;  // its size or modification time differ from the start
  // Whether reading it left its access time alone; none for a stream.
  std::optional<bool> access_time_kept;
  std::string sha256;  // of exactly the bytes scanned; empty when not asked for
  // What the structure walk learnt of it; none when the walk did not run.
  std::optional<WalkOutcome> walk;
  // With only the unexplained findings reported: how many explained ones
  // were left out (`counts` are those reported). None otherwise.
  std::optional<std::uint64_t> explained_left_out;
};

struct RunTotals {
  std::uint64_t scanned = 0;  // inputs read to their end
  std::uint64_t failed = 0;
  std::uint64_t skipped = 0;
  std::uint64_t bytes = 0;
  FindingCounts findings{};  // those reported
  // As ScannedInput's, over every input, those that then failed included.
  std::optional<std::uint64_t> explained_left_out;
  std::chrono::steady_clock::duration elapsed{};
  int exit_status = 0;
};

// The events of one input. Each appends what the format prints of it, if
// anything, to `out`; what starts every line about the input is worked out
// once, when the printer is made.
class InputPrinter {
 public:
  virtual ~InputPrinter() = default;
  InputPrinter(const InputPrinter&) = delete;
  InputPrinter& operator=(const InputPrinter&) = delete;

  // In the order RunPrinter::finding_order asks for. `place` is where the
  // finding lies in the input's structure, given whenever the walk ran (it
  // always does where RunPrinter::places_findings says so); its context is
  // valid only during the call.
  virtual void Finding(std::string& out, const ScanFinding& finding,
                       const std::optional<FindingPlace>& place) const = 0;
  // The input was read to its end.
  virtual void Scanned(std::string& out, const ScannedInput& input) const = 0;
  // The input was not read, or not to its end; the findings before stand.
  virtual void Failed(std::string& out, const std::system_error& error) const = 0;
  // A walk passed the entry over, for `reason` such as "a named pipe".
  virtual void Skipped(std::string& out, std::string_view reason) const = 0;
  // A disk image opened, before its files; only a record format says so on
  // standard output.
  virtual void ImageOpened(std::string& /*out*/, const ImageDescription& /*image*/) const {}

 protected:
  InputPrinter() = default;
};

class RunPrinter {
 public:
  virtual ~RunPrinter() = default;
  RunPrinter(const RunPrinter&) = delete;
  RunPrinter& operator=(const RunPrinter&) = delete;

  // The order the scan must give the findings in. A format that only counts
  // them takes them as found, which spares the scan holding back the second
  // rule's findings.
  [[nodiscard]] virtual FindingOrder finding_order() const = 0;
  // Whether the format shows where each finding lies: the scan then walks
  // each input's structure beside it. Without it the walk costs nothing.
  [[nodiscard]] virtual bool places_findings() const = 0;

  // Before any input.
  virtual void RunStarted(std::string& out, const RunStart& start) const = 0;
  // The printer of the input `path`: bytes, exactly as given or walked, or
  // "(standard input)".
  [[nodiscard]] virtual std::unique_ptr<InputPrinter> ForInput(std::string_view path) const = 0;
  // The printer of a file, partition or image met by --image: as an input
  // named `place.Name()`, where the format has no room for its parts.
  [[nodiscard]] virtual std::unique_ptr<InputPrinter> ForImagePlace(const ImagePlace& place) const {
    return ForInput(place.Name());
  }
  // After every input.
  virtual void RunEnded(std::string& out, const RunTotals& totals) const = 0;

 protected:
  RunPrinter() = default;
};

// The printer of `format`. The findings and counts formats show names as
// `path_field` says; JSON always carries them exactly. `explain` adds each
// finding's place to the findings format; JSON always carries it, and a
// count line has no finding to place.
std::unique_ptr<RunPrinter> MakeRunPrinter(OutputFormat format, PathField path_field,
                                           bool explain = false);

}  // namespace telltale::cli
