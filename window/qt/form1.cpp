#include "window/qt/form1.h"

#include <QAbstractScrollArea>
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
#include <algorithm>
#include <cstddef>
#include <filesystem>
#include <string_view>
#include <system_error>
#include <utility>
#include <vector>

#include "window/qt/background_run.h"
#include "window/qt/busy_cursor.h"
#include "window/common/dropped_file.h"
#include "window/qt/failure_box.h"
#include "window/common/form1_layout.h"
#include "window/qt/input_blocker.h"
#include "window/qt/open_dialog.h"
#include "window/qt/results_box_sink.h"
#include "window/qt/run_progress_dialog.h"

namespace telltale {
namespace {

QString FromTable(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QRect PixelRect(const form1::TwipsRect& r) {
  return {form1::Pixels(r.left), form1::Pixels(r.top), form1::Pixels(r.width),
          form1::Pixels(r.height)};
}

// One line of text, drawn from the box's top edge and without a frame, so
// that boxes stacked closer than their own height still read as lines.
QLineEdit* MakeInfoLine(QWidget& parent, const QString& text) {
  auto* line = new QLineEdit(text, &parent);
  line->setFrame(false);
  line->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  line->setCursorPosition(0);
  return line;
}

QPlainTextEdit* MakeResultsBox(QWidget& parent) {
  auto* box = new QPlainTextEdit(&parent);
  box->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  box->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  box->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  // Words wrap at their boundaries; a word wider than the box, such as a long
  // path, breaks anywhere so that it shows whole.
  box->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
  // Tab moves on to the next control, as in every other box of the window.
  box->setTabChangesFocus(true);
  return box;
}

QPushButton* MakeRunButton(QWidget& parent, const QString& text) {
  auto* button = new QPushButton(text, &parent);
  // Outside a dialog a push button ignores Enter and Return; as an
  // auto-default button it takes them while it has the focus. It is never
  // the window's default button.
  button->setAutoDefault(true);
  button->setDefault(false);
  return button;
}

QLabel* MakeLabel(QWidget& parent, const QString& text) {
  auto* label = new QLabel(text, &parent);
  label->setWordWrap(true);
  label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  return label;
}

QLabel* MakePicture(QWidget& parent) {
  auto* picture = new QLabel(&parent);
  picture->setPixmap(QPixmap(QStringLiteral(":/telltale/logo.bmp")));
  picture->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  picture->setScaledContents(false);
  return picture;
}

QWidget* MakeControl(QWidget& parent, const form1::ControlEntry& entry) {
  const QString text = FromTable(entry.text);
  QWidget* control = nullptr;
  switch (entry.kind) {
    case form1::ControlKind::kLabel:
      control = MakeLabel(parent, text);
      break;
    case form1::ControlKind::kPushButton:
      control = MakeRunButton(parent, text);
      break;
    case form1::ControlKind::kResultsBox:
      control = MakeResultsBox(parent);
      break;
    case form1::ControlKind::kInfoLine:
      control = MakeInfoLine(parent, text);
      break;
    case form1::ControlKind::kPicture:
      control = MakePicture(parent);
      break;
  }
  // A file dropped anywhere on the window, a text box included, is the
  // window's to take: the boxes would insert the dropped URL as text.
  control->setAcceptDrops(false);
  if (auto* area = qobject_cast<QAbstractScrollArea*>(control)) {
    area->viewport()->setAcceptDrops(false);
  }
  control->setObjectName(FromTable(entry.name));
  control->setGeometry(PixelRect(entry.bounds));
  control->setAccessibleName(FromTable(entry.spoken));
  if (!entry.described.empty()) {
    control->setAccessibleDescription(FromTable(entry.described));
  }
  return control;
}

// The one local file a drag carries, its name's bytes exactly as the system
// knows them, or nothing: several files, a folder and anything that is not a
// local file are not taken. The URI list is read as bytes: QUrl decodes a
// path to text, where a name that is not UTF-8 loses its bytes.
std::optional<std::string> DraggedFile(const QMimeData* data) {
  if (data == nullptr || !data->hasUrls()) {
    return std::nullopt;
  }
  const QByteArray uri_list = data->data(QStringLiteral("text/uri-list"));
  std::optional<std::string> file =
      LocalFileOfUriList(std::string_view(uri_list.constData(), uri_list.size()));
  std::error_code error;
  if (!file || std::filesystem::is_directory(*file, error)) {
    return std::nullopt;
  }
  return file;
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
  setObjectName(FromTable(form1::kForm.name));
  setWindowTitle(FromTable(form1::kForm.title));
  setAccessibleName(FromTable(form1::kForm.spoken));
  setAccessibleDescription(FromTable(form1::kForm.described));
  setAcceptDrops(true);
  setFixedSize(form1::Pixels(form1::kForm.client_width), form1::Pixels(form1::kForm.client_height));
  // The window takes the colour text boxes have, not the dialog colour.
  setBackgroundRole(QPalette::Base);
  setAutoFillBackground(true);
  if (QFont text_font = font(); text_font.pointSizeF() > form1::kForm.largest_point_size) {
    text_font.setPointSizeF(form1::kForm.largest_point_size);
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
  for (std::size_t index = 0; index < form1::kControls.size(); ++index) {
    controls_.at(index) = MakeControl(*this, form1::kControls.at(index));
  }
  cmdTest_ = qobject_cast<QPushButton*>(controls_.at(form1::IndexOf(form1::kRunButton)));
  txtResults_ = qobject_cast<QPlainTextEdit*>(controls_.at(form1::IndexOf(form1::kResultsBox)));
  Text3_ = qobject_cast<QLineEdit*>(controls_.at(form1::IndexOf(form1::kLogoNotice)));
}

void Form1::SetTabOrder() {
  std::vector<std::pair<int, QWidget*>> stops;
  for (std::size_t index = 0; index < form1::kControls.size(); ++index) {
    if (const int tab = form1::kControls.at(index).tab_index; tab != form1::kNoTabStop) {
      stops.emplace_back(tab, controls_.at(index));
    }
  }
  std::ranges::sort(stops);
  for (std::size_t i = 1; i < stops.size(); ++i) {
    QWidget::setTabOrder(stops[i - 1].second, stops[i].second);
  }
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
  const std::optional<std::string> file = DraggedFile(event->mimeData());
  if (run_ || !file) {
    event->ignore();
    return;
  }
  event->setDropAction(Qt::CopyAction);
  event->accept();
  StartRun(*file);
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
