// The results box as the place a Run writes to.
#pragma once

#include <QPlainTextEdit>
#include <string_view>

#include "detection/last_text_sink.h"

namespace telltale {

// A Run does not return to the event loop between its texts, so nothing would
// show them anyway: this keeps only the latest one and puts it into the box
// when Show() is called at the end of the Run. A file with a million findings
// then costs one redraw instead of a million.
class ResultsBoxSink final : public LastTextSink {
 public:
  explicit ResultsBoxSink(QPlainTextEdit& box) : box_(box) {}

  // Puts the latest text into the box; nothing when no text was set.
  void Show();

  // The text as the box shows it: the bytes decoded as file names are, and
  // each CR LF a line break.
  [[nodiscard]] static QString DisplayText(std::string_view text);

 private:
  QPlainTextEdit& box_;
};

}  // namespace telltale
