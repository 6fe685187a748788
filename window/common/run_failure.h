// A Run that could not be completed, as the user is told about it.
#pragma once

#include <QString>

namespace telltale {

struct RunFailure {
  QString path;
  int number = 0;       // the error code's value
  QString description;  // the error code's message

  // What the results box reads afterwards, so that it never claims a result
  // for a file that was not scanned.
  [[nodiscard]] QString ResultsText() const {
    return QStringLiteral("Could not scan ") + path + QStringLiteral(": ") + description;
  }
};

}  // namespace telltale
