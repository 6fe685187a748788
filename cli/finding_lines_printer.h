// SPDX-License-Identifier: Apache-2.0
// The default output: a line PATH:POSITION:TOOL per finding, with its place
// in the input's structure as a fourth field, PATH:POSITION:TOOL:CONTEXT,
// when explained.
#pragma once

#include <memory>

#include "cli/path_field.h"
#include "cli/run_printer.h"

namespace telltale::cli {

std::unique_ptr<RunPrinter> MakeFindingLinesPrinter(PathField path_field, bool explain);

}  // namespace telltale::cli
