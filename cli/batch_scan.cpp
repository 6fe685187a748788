// SPDX-License-Identifier: Apache-2.0
#include "cli/batch_scan.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <limits>
#include <memory>
#include <mutex>
#include <optional>
#include <semaphore>
#include <string>
#include <string_view>
#include <system_error>
#include <thread>
#include <utility>
#include <variant>

#include "cli/console.h"
#include "cli/disk_image/image_walk.h"
#include "cli/error_messages.h"
#include "cli/exit_status.h"
#include "cli/input_walk.h"
#include "cli/open_file_limit.h"
#include "cli/ordered_output.h"
#include "cli/output_sizes.h"
#include "cli/path_list.h"
#include "cli/progress_line.h"
#include "cli/run_printer.h"
#include "cli/sha256.h"
#include "telltale/quoted_name.h"
#include "telltale/telltale.h"

namespace telltale::cli {
namespace {

constexpr const char* kStandardInputName = "(standard input)";
constexpr std::string_view kImageAccessTimes = "not kept for disk images";

// The walk's reason for a skip, without the "skipped, " its note starts
// with: a printer's skip event says it is a skip.
std::string SkipReason(std::string_view reason) {
  constexpr std::string_view kSkipped = "skipped, ";
  return std::string(reason.starts_with(kSkipped) ? reason.substr(kSkipped.size()) : reason);
}

// How long a finding may wait in the output block while a large file is read.
constexpr auto kOutputDelay = std::chrono::milliseconds(200);

// Descriptors kept for what is not an input of its own: the walk's
// directories, and beside them the directory given, the listing and the
// entry being opened, the standard streams, the lists of names and the
// libraries'.
constexpr std::size_t kDescriptorsReserved = InputWalk::kDirectoriesHeldOpen + 16;
// An input being scanned holds its file and the directory it was met in, or,
// for standard input, the temporary file of its held findings.
constexpr std::size_t kDescriptorsPerInput = 2;

// How many inputs may be open at once within `open_file_limit`, whatever the
// number of jobs: jobs beyond it wait for an input to close, so that no file
// fails for want of a descriptor.
std::ptrdiff_t InputsOpenAtOnce(std::size_t open_file_limit, std::size_t lists) {
  const std::size_t reserved = kDescriptorsReserved + lists;
  const std::size_t inputs =
      open_file_limit > reserved ? (open_file_limit - reserved) / kDescriptorsPerInput : 0;
  return static_cast<std::ptrdiff_t>(
      std::clamp<std::size_t>(inputs, 1, std::numeric_limits<std::ptrdiff_t>::max()));
}

// What has been reported of an input so far, added to the run's totals
// whether its scan ends or fails.
struct Reported {
  FindingCounts counts{};  // per rule
  // The explained findings left out, where only the others are reported.
  std::uint64_t explained_left_out = 0;
};

// One input's output, gathered in batches and passed on in order.
class InputOutput {
 public:
  InputOutput(OrderedOutput& output, std::size_t input) : output_(output), input_(input) {}

  std::string& text() { return text_; }
  void FlushIfLarge() {
    if (text_.size() >= kOutputBatchBytes) {
      Flush();
    }
  }
  void Flush() {
    if (!text_.empty()) {
      output_.Write(input_, Stream::kOut, text_);
      text_.clear();
    }
  }
  void Message(std::string_view message) {
    Flush();
    output_.Write(input_, Stream::kErr, MessageLine(message));
  }
  void Finish() {
    Flush();
    output_.Finish(input_);
  }

 private:
  OrderedOutput& output_;
  std::size_t input_;
  std::string text_;
};

// What a job scans: an input given or walked, or a file inside a disk image.
using Job = std::variant<Input, ImageEntry>;

class Batch {
 public:
  Batch(BatchOptions&& options, std::vector<std::unique_ptr<PathList>> lists,
        std::unique_ptr<ImageWalk> images, std::ptrdiff_t inputs_open)
      : jobs_(std::max(options.jobs, 1U)),
        hash_(options.hash),
        unexplained_(options.unexplained),
        command_line_(std::move(options.command_line)),
        walk_(std::move(options.paths), options.recursive, options.follow_links, std::move(lists)),
        images_(std::move(images)),
        console_(options.progress, options.out_fd, options.err_fd),
        printer_(MakeRunPrinter(options.format,
                                PathField{.quoted = console_.out_is_terminal(),
                                          .end = options.null_separated ? '\0' : ':'},
                                options.explain)),
        output_(console_, kHeldOutputBytes),
        progress_(console_, options.progress),
        input_slots_(inputs_open) {}

  int Run() {
    const auto started = std::chrono::steady_clock::now();
    if (unexplained_) {
      totals_.explained_left_out = 0;
    }
    std::string opening;
    printer_->RunStarted(opening, RunStart{command_line_, std::chrono::system_clock::now(),
                                           // The library opens and reads the images itself.
                                           images_ ? kImageAccessTimes : AccessTimeHandling()});
    Print(opening);
    {
      std::vector<std::jthread> pool;
      StartPool(pool);
      Work();
    }
    // Every job has ended: the totals are theirs.
    const bool found =
        std::any_of(totals_.findings.begin(), totals_.findings.end(), [](auto n) { return n > 0; });
    int status = found ? kExitFound : kExitNothing;
    if (failed_) {
      status = kExitTrouble;
    }
    totals_.elapsed = std::chrono::steady_clock::now() - started;
    totals_.exit_status = status;
    std::string closing;
    printer_->RunEnded(closing, totals_);
    Print(closing);
    console_.Finish();
    return status;
  }

 private:
  // What the run prints before and after its inputs, straight to the console.
  void Print(const std::string& text) {
    if (!text.empty()) {
      console_.Write(Stream::kOut, text);
    }
  }

  // Starts the jobs besides this thread's. Where the system gives no more
  // threads (a process limit), the jobs there are scan everything, and a
  // note says so.
  void StartPool(std::vector<std::jthread>& pool) {
    try {
      while (pool.size() + 1 < jobs_) {
        pool.emplace_back([this] { Work(); });
      }
    } catch (const std::system_error& e) {
      const std::size_t started = pool.size() + 1;
      console_.Write(
          Stream::kErr,
          MessageLine("cannot start a thread for job " + std::to_string(started + 1) + " (" +
                      e.code().message() + "); scanning with " + std::to_string(started) + " of " +
                      std::to_string(jobs_) + " jobs"));
    }
  }

  std::optional<std::pair<std::size_t, Job>> NextInput() {
    const std::lock_guard lock(walk_mutex_);
    if (console_.failed()) {
      return std::nullopt;  // nobody would see the rest
    }
    if (images_) {
      std::optional<ImageEntry> entry = images_->Next();
      if (!entry) {
        return std::nullopt;
      }
      return std::pair{next_index_++, Job(std::move(*entry))};
    }
    std::optional<Input> input = walk_.Next();
    if (!input) {
      return std::nullopt;
    }
    return std::pair{next_index_++, Job(std::move(*input))};
  }

  // A job holds an input slot from taking an input until the input and its
  // directory are closed; it then waits for its turn to print with only its
  // output held.
  void Work() {
    for (;;) {
      input_slots_.acquire();
      std::optional<std::pair<std::size_t, Job>> next = NextInput();
      if (!next) {
        input_slots_.release();
        return;
      }
      InputOutput out(output_, next->first);
      const bool failed = std::visit([&](auto& work) { return Handle(work, out); }, next->second);
      next.reset();
      input_slots_.release();
      out.Finish();
      progress_.InputDone();
      if (failed) {
        failed_ = true;
      }
    }
  }

  // Returns whether the input makes the run fail.
  bool Handle(const Input& input, InputOutput& out) {
    const bool standard_input = input.kind == Input::Kind::kStandardInput;
    const std::string& name = standard_input ? std::string(kStandardInputName) : input.path;
    const std::unique_ptr<InputPrinter> printer = printer_->ForInput(name);
    switch (input.kind) {
      case Input::Kind::kSkipped: {
        printer->Skipped(out.text(), SkipReason(input.reason));
        out.Message(QuotedName(input.path) + ": " + input.reason);
        const std::lock_guard lock(totals_mutex_);
        ++totals_.skipped;
        return false;
      }
      case Input::Kind::kUnreadable:
        return Fail(name, *input.failure, *printer, out);
      case Input::Kind::kFile:
      case Input::Kind::kStandardInput:
        break;
    }
    // The findings reported so far count in the run's totals even when the
    // input then fails, so that the summary always equals the records.
    Reported reported;
    bool changed = false;
    try {
      if (standard_input) {
        StreamSource source(STDIN_FILENO, name);
        changed = Scan(source, std::nullopt, *printer, out, reported);
      } else {
        InputFile file = input.directory ? InputFile(input.directory->fd(), input.name, input.path,
                                                     input.follow_links)
                                         : InputFile(input.path);
        progress_.AddTotal(file.size().value_or(0));
        changed = Scan(file, file.access_time_kept(), *printer, out, reported);
      }
    } catch (const std::system_error& e) {
      AddFindings(reported);
      if (e.code() == std::errc::operation_canceled && console_.failed()) {
        return false;  // stopped because standard output failed, which Finish reports
      }
      return Fail(name, e, *printer, out);
    }
    AddFindings(reported);
    return changed;
  }

  // A file inside a disk image, or the image, partition or directory that
  // could not be read. Returns whether it makes the run fail.
  bool Handle(ImageEntry& entry, InputOutput& out) {
    const std::string name = entry.place.Name();
    const std::unique_ptr<InputPrinter> printer = printer_->ForImagePlace(entry.place);
    if (entry.failure) {
      return Fail(name, *entry.failure, *printer, out);
    }
    if (entry.image) {
      printer->ImageOpened(out.text(), *entry.image);
      if (entry.image->verified) {
        out.Message(QuotedName(name) + ": verified, its data's MD5 is the one it stores, " +
                    *entry.image->stored_md5);
      }
      return false;
    }
    Reported reported;
    bool changed = false;
    try {
      progress_.AddTotal(entry.source->size().value_or(0));
      changed = Scan(*entry.source, std::nullopt, *printer, out, reported);
    } catch (const std::system_error& e) {
      AddFindings(reported);
      if (e.code() == std::errc::operation_canceled && console_.failed()) {
        return false;
      }
      return Fail(name, e, *printer, out);
    }
    AddFindings(reported);
    return changed;
  }

  void AddFindings(const Reported& reported) {
    const std::lock_guard lock(totals_mutex_);
    for (std::size_t r = 0; r < reported.counts.size(); ++r) {
      totals_.findings[r] += reported.counts[r];
    }
    if (totals_.explained_left_out) {
      *totals_.explained_left_out += reported.explained_left_out;
    }
  }

  // Whether each input's structure is walked beside its scan: only where
  // the output shows a finding's place or leaves the explained ones out.
  [[nodiscard]] bool Walked() const { return unexplained_ || printer_->places_findings(); }

  // Returns whether the input changed while it was scanned. `reported`
  // counts the findings handed on, per rule, as they are; the caller adds
  // them to the totals, whether the scan ends or fails.
  bool Scan(ScanSource& source, std::optional<bool> access_time_kept, const InputPrinter& printer,
            InputOutput& out, Reported& reported) {
    ScannedInput scanned;
    scanned.access_time_kept = access_time_kept;
    std::optional<Sha256> digest;
    if (hash_) {
      digest.emplace();
    }
    std::uint64_t reported_done = 0;
    ScanControl control;
    control.stop = console_.output_failed();
    control.on_progress = [&](const ScanProgress& progress) {
      progress_.AddDone(progress.done - std::exchange(reported_done, progress.done));
      // What was found so far goes out while the rest is read.
      out.Flush();
      console_.FlushIfOlderThan(kOutputDelay);
    };
    control.on_data = [&](std::span<const unsigned char> bytes) {
      scanned.bytes += bytes.size();
      if (digest) {
        digest->Update(bytes);
      }
    };
    // SHA-256 is slower than reading and scanning: the scan reads ahead of it.
    control.on_data_is_slow = digest.has_value();
    const auto report = [&](const ScanFinding& finding, const std::optional<FindingPlace>& place) {
      ++reported.counts.at(static_cast<std::size_t>(finding.rule - kSignatureTable.data()));
      printer.Finding(out.text(), finding, place);
      out.FlushIfLarge();
    };
    if (Walked()) {
      WalkOutcome walk;
      const FindingCounts all = ScanInputPlaced(
          source, printer_->finding_order(),
          [&](const ScanFinding& finding, const FindingPlace& place) {
            if (unexplained_ && place.explained) {
              ++reported.explained_left_out;
            } else {
              report(finding, place);
            }
          },
          walk, control);
      scanned.walk = walk;
      if (unexplained_) {
        scanned.counts = reported.counts;
        scanned.explained_left_out = reported.explained_left_out;
      } else {
        scanned.counts = all;
      }
    } else {
      scanned.counts = ScanInput(
          source, printer_->finding_order(),
          [&](const ScanFinding& finding) { report(finding, std::nullopt); }, control);
    }
    if (digest) {
      scanned.sha256 = digest->HexDigest();
    }
    // A file read in one pass is not compared with itself by the scan. What
    // was found stands, but a file written to meanwhile may hold what was
    // not read: the run fails so that this is not missed.
    scanned.changed = !Unchanged(source);
    printer.Scanned(out.text(), scanned);
    {
      const std::lock_guard lock(totals_mutex_);
      ++totals_.scanned;
      totals_.bytes += scanned.bytes;
    }
    if (scanned.changed) {
      out.Message(QuotedName(source.name()) + ": changed while it was being scanned");
    }
    return scanned.changed;
  }

  // Whether `source` has its size and modification time of opening. Other
  // failures of the check are those of the input.
  static bool Unchanged(const ScanSource& source) {
    try {
      source.CheckUnchanged();
    } catch (const std::system_error& e) {
      if (e.code() == make_error_code(ScanErrc::kFileChanged)) {
        return false;
      }
      throw;
    }
    return true;
  }

  bool Fail(const std::string& name, const std::system_error& error, const InputPrinter& printer,
            InputOutput& out) {
    printer.Failed(out.text(), error);
    out.Message(FailureMessage(name, error));
    const std::lock_guard lock(totals_mutex_);
    ++totals_.failed;
    return true;
  }

  const unsigned jobs_;
  const bool hash_;
  const bool unexplained_;
  const std::vector<std::string> command_line_;
  std::mutex walk_mutex_;
  InputWalk walk_;
  std::unique_ptr<ImageWalk> images_;  // with --image, in place of walk_
  std::size_t next_index_ = 0;
  Console console_;
  const std::unique_ptr<RunPrinter> printer_;
  OrderedOutput output_;
  ProgressLine progress_;
  std::atomic<bool> failed_{false};
  std::mutex totals_mutex_;
  RunTotals totals_;
  std::counting_semaphore<> input_slots_;
};

}  // namespace

int ScanBatch(BatchOptions options) {
  // Every run: many jobs hold many files open at once, as a walk holds its
  // directories.
  const std::size_t open_file_limit = RaiseOpenFileLimit();
  // Opened before anything is scanned: a list that cannot be read at all
  // stops the run before it starts.
  std::vector<std::unique_ptr<PathList>> lists;
  for (const std::string& list : options.files_from) {
    lists.push_back(std::make_unique<PathList>(list, options.null_separated ? '\0' : '\n'));
  }
  // Refused before the run starts in a build that cannot read images. The
  // images' paths and lists are theirs, none left for the input walk.
  std::unique_ptr<ImageWalk> images =
      options.images ? WalkImages(InputWalk(std::exchange(options.paths, {}), false, false,
                                            std::exchange(lists, {})),
                                  ImageWalkOptions{.verify = options.verify})
                     : nullptr;
  const std::ptrdiff_t inputs_open = InputsOpenAtOnce(open_file_limit, lists.size());
  return Batch(std::move(options), std::move(lists), std::move(images), inputs_open).Run();
}

}  // namespace telltale::cli
