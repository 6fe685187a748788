#include "window/qt/run_progress_dialog.h"

#include <QDir>
#include <QFontMetrics>
#include <QLocale>
#include <QProgressBar>
#include <algorithm>

#include "window/qt/background_run.h"
#include "window/common/progress_bar_steps.h"

namespace telltale {
namespace {

// A Run that ends sooner shows no dialog.
constexpr int kShowAfterMs = 500;
// How often the dialog looks at the Run's progress: often enough to move
// smoothly, seldom enough to cost nothing.
constexpr int kPollMs = 100;
// Wider paths are shortened in the middle, so that the dialog keeps a sane size.
constexpr int kLongestPathPixels = 480;

// "120.5 MiB of 2.0 GiB".
QString BytesDoneText(const ScanProgress& progress, const QLocale& locale) {
  return QStringLiteral("%1 of %2")
      .arg(locale.formattedDataSize(static_cast<qint64>(progress.done), 1),
           locale.formattedDataSize(static_cast<qint64>(progress.total), 1));
}

}  // namespace

RunProgressDialog::RunProgressDialog(QWidget& window, const QString& path, BackgroundRun& run)
    : QProgressDialog(&window), run_(run), bar_(new QProgressBar(this)) {
  setObjectName(QStringLiteral("runProgress"));
  setWindowTitle(QStringLiteral("Telltale"));
  setWindowModality(Qt::NonModal);
  setAutoReset(false);
  setAutoClose(false);
  setBar(bar_);
  setRange(0, kProgressBarSteps);
  file_ =
      fontMetrics().elidedText(QDir::toNativeSeparators(path), Qt::ElideMiddle, kLongestPathPixels);
  setMinimumDuration(kShowAfterMs);
  // Starts the clock for minimumDuration. Later values go to the bar itself:
  // setValue() would show the dialog earlier whenever it guessed from the
  // first values that the Run will be long, and so flash it for Runs that
  // end at once after.
  setValue(0);
  Update();

  connect(this, &QProgressDialog::canceled, this, [this] { run_.RequestStop(); });
  connect(&poll_, &QTimer::timeout, this, &RunProgressDialog::Update);
  poll_.start(kPollMs);
}

void RunProgressDialog::reject() { emit canceled(); }

void RunProgressDialog::Update() {
  const ScanProgress progress = run_.Progress();
  const QString text =
      QStringLiteral("Checking %1\n%2").arg(file_, BytesDoneText(progress, locale()));
  if (text != labelText()) {
    setLabelText(text);
  }
  bar_->setValue(ProgressBarValue(progress));
}

}  // namespace telltale
