// SPDX-License-Identifier: Apache-2.0
#include "window/qt/results_box_text.h"

#include <QByteArray>
#include <QFile>

namespace telltale {

QString ResultsBoxText(std::string_view text) {
  // The path in the text is the file name's bytes, encoded with
  // QFile::encodeName; decoding them the same way gives back the name shown
  // in the dialog.
  QString display =
      QFile::decodeName(QByteArray::fromRawData(text.data(), static_cast<qsizetype>(text.size())));
  display.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  return display;
}

}  // namespace telltale
