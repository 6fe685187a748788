// SPDX-License-Identifier: Apache-2.0
// The detection library's public interface: the signature table, the scan of
// a buffer or of a streamed input, the structure walk that places each
// finding, the report texts and the Run.
#pragma once

#include "telltale/input_file.h"       // IWYU pragma: export
#include "telltale/last_text_sink.h"   // IWYU pragma: export
#include "telltale/marker_search.h"    // IWYU pragma: export
#include "telltale/placed_scan.h"      // IWYU pragma: export
#include "telltale/reports.h"          // IWYU pragma: export
#include "telltale/results_sink.h"     // IWYU pragma: export
#include "telltale/run_scan.h"         // IWYU pragma: export
#include "telltale/scan_content.h"     // IWYU pragma: export
#include "telltale/scan_error.h"       // IWYU pragma: export
#include "telltale/scan_input.h"       // IWYU pragma: export
#include "telltale/scan_source.h"      // IWYU pragma: export
#include "telltale/signature_table.h"  // IWYU pragma: export
#include "telltale/structure_walk.h"   // IWYU pragma: export
#include "telltale/version.h"          // IWYU pragma: export
