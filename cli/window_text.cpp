#include "cli/window_text.h"

#include <cstddef>
#include <string_view>

#include "cli/console.h"
#include "cli/exit_status.h"
#include "detection/results_sink.h"
#include "detection/run_scan.h"

namespace telltale::cli {
namespace {

// Keeps what a results box would show: the last text set.
class LastTextSink : public ResultsSink {
 public:
  void SetText(std::string_view text) override {
    text_.assign(text);
    ++texts_set_;
  }
  [[nodiscard]] const std::string& text() const { return text_; }
  // The selection report comes first; every later text is a finding.
  [[nodiscard]] bool found_any() const { return texts_set_ > 1; }

 private:
  std::string text_;
  std::size_t texts_set_ = 0;
};

}  // namespace

int PrintWindowText(const std::string& path) {
  LastTextSink sink;
  RunScan(path, sink);
  Console console(false);
  console.Write(Stream::kOut, sink.text());
  console.Finish();
  return sink.found_any() ? kExitFound : kExitNothing;
}

}  // namespace telltale::cli
