// SPDX-License-Identifier: Apache-2.0
#include "window/qt/run_progress_dialog.h"

#include <QDir>
#include <QFontMetrics>
#include <QProgressBar>

#include "window/common/progress_bar_steps.h"

namespace telltale {
namespace {

// Wider paths are shortened in the middle, so that the dialog keeps a sane size.
constexpr int kLongestPathPixels = 480;

}  // namespace

RunProgressDialog::RunProgressDialog(QWidget& window, const QString& path)
    : QProgressDialog(&window), bar_(new QProgressBar(this)) {
  setObjectName(QStringLiteral("runProgress"));
  setWindowTitle(QStringLiteral("Telltale"));
  setWindowModality(Qt::NonModal);
  setAutoReset(false);
  setAutoClose(false);
  setBar(bar_);
  setRange(0, kProgressBarSteps);
  file_ =
      fontMetrics().elidedText(QDir::toNativeSeparators(path), Qt::ElideMiddle, kLongestPathPixels);
}

void RunProgressDialog::reject() { emit canceled(); }

void RunProgressDialog::Update(const ProgressShown& shown) {
  const QString text =
      QString::fromUtf8(kCheckingLead.data(), static_cast<qsizetype>(kCheckingLead.size())) +
      file_ + u'\n' + QString::fromStdString(shown.status);
  if (text != labelText()) {
    setLabelText(text);
  }
  // Set on the bar itself: setValue() would show the dialog by its own
  // reckoning of time, which is the presenter's to decide.
  bar_->setValue(shown.bar);
}

}  // namespace telltale
