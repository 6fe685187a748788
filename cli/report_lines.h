// The lines telltale-scan prints about one input, in each output format.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>

#include "cli/error_messages.h"
#include "detection/telltale.h"

namespace telltale::cli {

enum class OutputFormat {
  kFindings,  // PATH:POSITION:TOOL per finding
  kCounts,    // PATH:COUNT:COUNT per input, one count per rule
  kJson,      // JSON Lines: typed records of the run, its inputs and findings
};

// What is known of an input scanned to its end.
struct ScannedInput {
  std::uint64_t bytes = 0;
  FindingCounts counts{};
  bool changed = false;  // its size or modification time differ from the start
  // Whether reading it left its access time alone; none for a stream.
  std::optional<bool> access_time_kept;
  std::string sha256;  // of exactly the bytes scanned; empty when not asked for
};

class ReportLines {
 public:
  // `path` is the input's name: bytes, exactly as given or walked. With
  // `quote_path` the findings and counts formats show it as QuotedName does,
  // for a terminal; JSON always carries it exactly. `path_end` follows the
  // path in those formats: ':' or, for names that may hold anything, '\0'.
  ReportLines(OutputFormat format, std::string_view path, bool quote_path = false,
              char path_end = ':');

  void AppendFinding(std::string& out, const ScanFinding& finding) const;
  // The counts line, with the digest last when there is one, or the JSON
  // "file" record; nothing in the findings format.
  void AppendScanned(std::string& out, const ScannedInput& input) const;
  // Only the JSON format reports a failure on standard output, described
  // as FailureDescription does; the others append nothing.
  void AppendFailure(std::string& out, const std::system_error& error) const;
  // Only the JSON format reports an input skipped in a walk on standard
  // output, with `reason` such as "a named pipe".
  void AppendSkipped(std::string& out, std::string_view reason) const;

 private:
  OutputFormat format_;
  std::string path_;
  // What every line about this input starts with: the path and the
  // separator, or the JSON members that name it.
  std::string prefix_;
};

}  // namespace telltale::cli
