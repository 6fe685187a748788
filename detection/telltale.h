// The detection library's public interface: the signature table, the scan of
// a buffer or of a streamed input, the report texts and the Run.
#pragma once

#include "detection/input_file.h"       // IWYU pragma: export
#include "detection/last_text_sink.h"   // IWYU pragma: export
#include "detection/marker_search.h"    // IWYU pragma: export
#include "detection/reports.h"          // IWYU pragma: export
#include "detection/results_sink.h"     // IWYU pragma: export
#include "detection/run_scan.h"         // IWYU pragma: export
#include "detection/scan_content.h"     // IWYU pragma: export
#include "detection/scan_error.h"       // IWYU pragma: export
#include "detection/scan_input.h"       // IWYU pragma: export
#include "detection/scan_source.h"      // IWYU pragma: export
#include "detection/signature_table.h"  // IWYU pragma: export
#include "detection/version.h"          // IWYU pragma: export
