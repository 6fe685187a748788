// SPDX-License-Identifier: Apache-2.0
// Building a finding report into an existing string, so that a Run with many
// findings reuses one buffer. Private to the detection library.
#pragma once

#include <string>

#include "telltale/scan_content.h"

namespace telltale {

void AssignFindingReport(std::string& text, const ScanFinding& finding);

}  // namespace telltale
