#include "cli/window_text.h"

#include "cli/console.h"
#include "cli/exit_status.h"
#include "detection/telltale.h"

namespace telltale::cli {

int PrintWindowText(const std::string& path) {
  LastTextSink sink;
  RunScan(path, sink);
  Console console(false);
  console.Write(Stream::kOut, sink.text());
  console.Finish();
  // Every text after the selection report is a finding's.
  return sink.texts_set() > 1 ? kExitFound : kExitNothing;
}

}  // namespace telltale::cli
