#include "window/form1.h"

#include <QCloseEvent>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QRect>
#include <QUrl>
#include <system_error>
#include <utility>

#include "window/background_run.h"
#include "window/busy_cursor.h"
#include "window/failure_box.h"
#include "window/input_blocker.h"
#include "window/open_dialog.h"
#include "window/results_box_sink.h"
#include "window/run_progress_dialog.h"

namespace telltale {
namespace {

// The layout is given in twips; at 96 dots per inch a pixel is 15 twips, and
// Qt scales device-independent pixels for other densities.
constexpr int kTwipsPerPixel = 15;
// The layout was drawn for 8-point text; larger text would not fit its boxes.
constexpr qreal kLargestPointSize = 8.0;

consteval int Pixels(int twips) {
  if (twips % kTwipsPerPixel != 0) {
    throw "the layout must fall on whole pixels";
  }
  return twips / kTwipsPerPixel;
}

consteval QRect TwipsRect(int left, int top, int width, int height) {
  return {Pixels(left), Pixels(top), Pixels(width), Pixels(height)};
}

const QString kInstructions = QStringLiteral(
    "Choose a file to interogate. Run will allow you to choose your file and identify a hidden "
    "message.");
const QString kBanner = QStringLiteral(u"Telltale 2.0 \u00A9 2026 Telltale authors");
const QString kLogoNotice = QStringLiteral(u"Logo \u00A9 2026 Telltale authors");
// The maker and the web address, short enough for the box at the window's font.
const QString kCredit = QStringLiteral("Telltale, telltale.example.org");

// One line of text, drawn from the box's top edge and without a frame, so
// that boxes stacked closer than their own height still read as lines.
QLineEdit* MakeInfoLine(QWidget& parent, const QString& name, const QString& text,
                        const QRect& geometry, const QString& spoken) {
  auto* line = new QLineEdit(text, &parent);
  line->setObjectName(name);
  line->setAccessibleName(spoken);
  line->setFrame(false);
  line->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  line->setCursorPosition(0);
  line->setGeometry(geometry);
  return line;
}

// The one local file a drag carries, or nothing: several files, a folder and
// anything that is not a local file are not taken.
std::optional<QString> DraggedFile(const QMimeData* data) {
  if (data == nullptr || !data->hasUrls() || data->urls().size() != 1) {
    return std::nullopt;
  }
  const QUrl url = data->urls().front();
  if (!url.isLocalFile() || QFileInfo(url.toLocalFile()).isDir()) {
    return std::nullopt;
  }
  return url.toLocalFile();
}

}  // namespace

// Built when a Run starts and destroyed when it ends, in the reverse order of
// its members: the dialog goes, the Run's thread is stopped and joined, then
// the window takes input again and the cursor is restored.
struct Form1::ActiveRun {
  ActiveRun(Form1& form, const QString& shown)
      : path(shown),
        focus(form.focusWidget()),
        blocker(form),
        sink(*form.txtResults_),
        progress(form, shown, run) {}

  QString path;  // as the user is shown it
  // Where the focus goes back to: disabling the Run button moves it on.
  QPointer<QWidget> focus;
  BusyCursor busy;
  InputBlocker blocker;
  ResultsBoxSink sink;  // filled on the Run's thread
  BackgroundRun run;
  RunProgressDialog progress;
};

Form1::Form1(QWidget* parent) : Form1(nullptr, nullptr, parent) {}

Form1::Form1(ChooseFile choose_file, ReportFailure report_failure, QWidget* parent)
    : QWidget(parent),
      cdlTest_(choose_file ? std::move(choose_file) : ChooseFile(ShowOpenDialog)),
      report_failure_(report_failure ? std::move(report_failure) : ReportFailure(ShowFailureBox)),
      dialog_folder_(QDir::homePath()) {
  setObjectName(QStringLiteral("Form1"));
  setWindowTitle(QStringLiteral("Form1"));
  setAccessibleName(QStringLiteral("Telltale"));
  setAccessibleDescription(
      QStringLiteral("Checks a file for traces of the steganography tools JPHide and Hiderman"));
  setAcceptDrops(true);
  setFixedSize(Pixels(9165), Pixels(7020));
  // The window takes the colour text boxes have, not the dialog colour.
  setBackgroundRole(QPalette::Base);
  setAutoFillBackground(true);
  if (QFont text_font = font(); text_font.pointSizeF() > kLargestPointSize) {
    text_font.setPointSizeF(kLargestPointSize);
    setFont(text_font);
  }

  CreateControls();
  SetTabOrder();
  cmdTest_->setFocus();

  connect(cmdTest_, &QPushButton::clicked, this, &Form1::OnRunClicked);
  // Connected after the notice is in place: putting it there is no edit.
  connect(Text3_, &QLineEdit::textChanged, this, &Form1::OnLogoNoticeChanged);
}

Form1::~Form1() = default;

void Form1::CreateControls() {
  Label1_ = new QLabel(kInstructions, this);
  Label1_->setObjectName(QStringLiteral("Label1"));
  Label1_->setWordWrap(true);
  Label1_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  Label1_->setGeometry(TwipsRect(720, 360, 2175, 975));
  Label1_->setAccessibleName(QStringLiteral("Instructions"));

  cmdTest_ = new QPushButton(QStringLiteral("&Run"), this);
  cmdTest_->setObjectName(QStringLiteral("cmdTest"));
  // Outside a dialog a push button ignores Enter and Return; as an
  // auto-default button it takes them while it has the focus. It is never
  // the window's default button.
  cmdTest_->setAutoDefault(true);
  cmdTest_->setDefault(false);
  cmdTest_->setGeometry(TwipsRect(3600, 360, 1095, 855));
  cmdTest_->setAccessibleName(QStringLiteral("Run"));
  cmdTest_->setAccessibleDescription(
      QStringLiteral("Choose a file and check it for traces of JPHide and Hiderman"));

  txtResults_ = new QPlainTextEdit(this);
  txtResults_->setObjectName(QStringLiteral("txtResults"));
  txtResults_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  txtResults_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  txtResults_->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  // Words wrap at their boundaries; a word wider than the box, such as a long
  // path, breaks anywhere so that it shows whole.
  txtResults_->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
  // Tab moves on to the next control, as in every other box of the window.
  txtResults_->setTabChangesFocus(true);
  txtResults_->setGeometry(TwipsRect(840, 1920, 3855, 2295));
  txtResults_->setAccessibleName(QStringLiteral("Results"));
  txtResults_->setAccessibleDescription(
      QStringLiteral("The file chosen, or where a marker was found and for which tool"));

  // Created in this order so that each line's box lies over the bottom of
  // the one above it, which keeps every line's text uncovered.
  Text1_ = MakeInfoLine(*this, QStringLiteral("Text1"), kBanner, TwipsRect(1800, 4920, 3015, 375),
                        QStringLiteral("Product"));
  Text3_ = MakeInfoLine(*this, QStringLiteral("Text3"), kLogoNotice,
                        TwipsRect(1800, 5160, 3015, 255), QStringLiteral("Logo notice"));
  Text2_ = MakeInfoLine(*this, QStringLiteral("Text2"), kCredit, TwipsRect(1800, 5400, 2775, 375),
                        QStringLiteral("Credit"));

  Image1_ = new QLabel(this);
  Image1_->setObjectName(QStringLiteral("Image1"));
  Image1_->setPixmap(QPixmap(QStringLiteral(":/telltale/logo.bmp")));
  Image1_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  Image1_->setScaledContents(false);
  Image1_->setGeometry(TwipsRect(360, 4920, 1185, 1710));
  Image1_->setAccessibleName(QStringLiteral("Logo"));
  Image1_->setAccessibleDescription(
      QStringLiteral("A magnifying glass that shows a hidden pattern in a picture"));
}

void Form1::SetTabOrder() {
  QWidget::setTabOrder(cmdTest_, Text1_);
  QWidget::setTabOrder(Text1_, Text2_);
  QWidget::setTabOrder(Text2_, txtResults_);
  QWidget::setTabOrder(txtResults_, Text3_);
}

void Form1::OnRunClicked() {
  // The button is disabled and input is dropped during a Run; this holds
  // should a click get through anyway.
  if (run_) {
    return;
  }
  const std::optional<QString> path = cdlTest_(*this, dialog_folder_);
  if (!path) {
    return;
  }
  StartRun(QFile::encodeName(*path).toStdString());
}

void Form1::StartRun(const std::string& path) {
  if (run_) {
    return;
  }
  const QString shown = QFile::decodeName(QByteArray::fromStdString(path));
  dialog_folder_ = QFileInfo(shown).absolutePath();
  run_ = std::make_unique<ActiveRun>(*this, shown);
  cmdTest_->setEnabled(false);
  // Emitted on the Run's thread. Queued, so that the Run is ended on this
  // thread and outside the emission.
  connect(&run_->run, &BackgroundRun::finished, this, &Form1::OnRunFinished, Qt::QueuedConnection);
  run_->run.Start(path, run_->sink);
}

// An enter is the first move.
void Form1::dragEnterEvent(QDragEnterEvent* event) { dragMoveEvent(event); }

void Form1::dragMoveEvent(QDragMoveEvent* event) {
  if (!run_ && DraggedFile(event->mimeData())) {
    event->setDropAction(Qt::CopyAction);
    event->accept();
  } else {
    event->ignore();
  }
}

void Form1::dropEvent(QDropEvent* event) {
  const std::optional<QString> file = DraggedFile(event->mimeData());
  if (run_ || !file) {
    event->ignore();
    return;
  }
  event->setDropAction(Qt::CopyAction);
  event->accept();
  StartRun(QFile::encodeName(*file).toStdString());
}

void Form1::OnRunFinished() {
  // Already ended when the window was closed.
  if (!run_) {
    return;
  }
  std::optional<RunFailure> failure;
  bool cancelled = false;
  try {
    run_->run.JoinAndRethrow();
    run_->sink.Show();
  } catch (const std::system_error& e) {
    failure = RunFailure{run_->path, e.code().value(), QString::fromLocal8Bit(e.code().message())};
    cancelled = e.code() == std::errc::operation_canceled;
  }
  const QPointer<QWidget> focus = run_->focus;
  run_.reset();
  cmdTest_->setEnabled(true);
  if (!focus.isNull()) {
    focus->setFocus();
  }

  if (failure) {
    txtResults_->setPlainText(failure->ResultsText());
    // The user ended it: the results box says so, and that is all.
    if (!cancelled) {
      report_failure_(*this, *failure);
    }
  }
  emit runFinished();
}

void Form1::closeEvent(QCloseEvent* event) {
  if (run_) {
    run_->run.RequestStop();
    run_.reset();
    cmdTest_->setEnabled(true);
    emit runFinished();
  }
  event->accept();
}

void Form1::OnLogoNoticeChanged() {
  // Emptying an empty box changes nothing, so this ends after one more call.
  Text3_->clear();
}

}  // namespace telltale
