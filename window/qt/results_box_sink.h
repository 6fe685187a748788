// The results box as the place a Run writes to.
#pragma once

#include <QPlainTextEdit>
#include <string_view>

#include "detection/telltale.h"

namespace telltale {

// A Run sets its texts on a thread of its own, where the box must not be
// touched: this keeps only the latest one, and the window's thread puts it
// into the box with Show() once the Run has ended. A file with a million
// findings then costs one redraw instead of a million.
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
