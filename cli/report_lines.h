// The lines telltale-scan prints about one input, in each output format.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <system_error>

#include "detection/telltale.h"

namespace telltale::cli {

enum class OutputFormat {
  kFindings,  // PATH:POSITION:TOOL per finding
  kCounts,    // PATH:COUNT:COUNT per input, one count per rule
  kJson,      // one JSON object per finding or failure
};

class ReportLines {
 public:
  // `path` is the input's name as shown: bytes, exactly as given or walked.
  ReportLines(OutputFormat format, std::string_view path);

  void AppendFinding(std::string& out, const ScanFinding& finding) const;
  void AppendCounts(std::string& out, const FindingCounts& counts) const;
  // Only the JSON format reports a failure on standard output; the others
  // append nothing.
  void AppendFailure(std::string& out, const std::error_code& error) const;

 private:
  OutputFormat format_;
  std::string prefix_;  // what every line about this input starts with
};

// "telltale-scan: <message>\n", for standard error.
std::string MessageLine(std::string_view message);

}  // namespace telltale::cli
