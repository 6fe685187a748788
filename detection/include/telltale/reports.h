// SPDX-License-Identifier: Apache-2.0
// The texts a Run shows in the results box.
#pragma once

#include <string>
#include <string_view>

#include "telltale/scan_content.h"

namespace telltale {

// "\r\nSteganography found at marker position <p>\r\n<tool line>"
std::string FormatFindingReport(const ScanFinding& finding);

// "You Selected <path> to be opened. Sorry no Steg found."
std::string FormatSelectionReport(std::string_view path);

}  // namespace telltale
