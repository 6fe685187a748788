// SPDX-License-Identifier: Apache-2.0
#include "cli/window_text.h"

#include <unistd.h>

#include <system_error>

#include "cli/console.h"
#include "cli/exit_status.h"
#include "telltale/quoted_name.h"
#include "telltale/telltale.h"

namespace telltale::cli {

int PrintWindowText(const std::string& path) {
  LastTextSink sink;
  try {
    RunScan(path, sink);
  } catch (const std::system_error& e) {
    // Every failure of a Run is "<path>: <description>"; the message goes to
    // standard error, where the name must not reach the terminal raw.
    throw std::system_error(e.code(), QuotedName(path));
  }
  Console console(false, STDOUT_FILENO, STDERR_FILENO);
  console.Write(Stream::kOut, sink.text());
  console.Finish();
  // Every text after the selection report is a finding's.
  return sink.texts_set() > 1 ? kExitFound : kExitNothing;
}

}  // namespace telltale::cli
