// SPDX-License-Identifier: Apache-2.0
// The formats telltale-scan prints its results in.
#pragma once

namespace telltale::cli {

enum class OutputFormat {
  kFindings,  // PATH:POSITION:TOOL per finding
  kCounts,    // PATH:COUNT:COUNT per input, one count per rule
  kJson,      // JSON Lines: typed records of the run, its inputs and findings
};

}  // namespace telltale::cli
