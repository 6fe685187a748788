// SPDX-License-Identifier: Apache-2.0
// The --json output: JSON Lines of typed records, for a record an examiner
// can cite. docs/telltale-scan.schema.json describes every member.
#pragma once

#include <memory>

#include "cli/run_printer.h"

namespace telltale::cli {

std::unique_ptr<RunPrinter> MakeJsonRecordsPrinter();

}  // namespace telltale::cli
