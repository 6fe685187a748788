// SPDX-License-Identifier: Apache-2.0
// The default output: a line PATH:POSITION:TOOL per finding.
#pragma once

#include <memory>

#include "cli/path_field.h"
#include "cli/run_printer.h"

namespace telltale::cli {

std::unique_ptr<RunPrinter> MakeFindingLinesPrinter(PathField path_field);

}  // namespace telltale::cli
