// The results box as the place a Run writes to.
#pragma once

#include <QPlainTextEdit>
#include <string>
#include <string_view>

#include "detection/results_sink.h"

namespace telltale {

// A Run does not return to the event loop between its texts, so nothing would
// show them anyway: this keeps only the latest one and puts it into the box
// when Show() is called at the end of the Run. A file with a million findings
// then costs one redraw instead of a million.
class ResultsBoxSink final : public ResultsSink {
 public:
  explicit ResultsBoxSink(QPlainTextEdit& box) : box_(box) {}

  void SetText(std::string_view text) override {
    text_.assign(text);
    has_text_ = true;
  }

  // Puts the latest text into the box; nothing when no text was set.
  void Show();

  // The text as the box shows it: the bytes decoded as file names are, and
  // each CR LF a line break.
  [[nodiscard]] static QString DisplayText(std::string_view text);

 private:
  QPlainTextEdit& box_;
  std::string text_;
  bool has_text_ = false;
};

}  // namespace telltale
