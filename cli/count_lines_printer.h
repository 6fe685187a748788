// SPDX-License-Identifier: Apache-2.0
// The -c output: a line PATH:JPHIDE:HIDERMAN per input read to its end, with
// its SHA-256 last when asked for.
#pragma once

#include <memory>

#include "cli/path_field.h"
#include "cli/run_printer.h"

namespace telltale::cli {

std::unique_ptr<RunPrinter> MakeCountLinesPrinter(PathField path_field);

}  // namespace telltale::cli
