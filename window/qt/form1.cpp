// SPDX-License-Identifier: Apache-2.0
#include "window/qt/form1.h"

#include <QCloseEvent>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFont>
#include <QLineEdit>
#include <QMetaObject>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <algorithm>
#include <cstddef>
#include <string_view>
#include <utility>
#include <vector>

#include "window/common/dropped_file.h"
#include "window/common/form1_layout.h"
#include "window/qt/busy_cursor.h"
#include "window/qt/failure_box.h"
#include "window/qt/form1_controls.h"
#include "window/qt/input_blocker.h"
#include "window/qt/open_dialog.h"
#include "window/qt/results_box_text.h"
#include "window/qt/run_progress_dialog.h"

namespace telltale {
namespace {

QString FromBytes(const std::string& bytes) {
  return QFile::decodeName(QByteArray::fromStdString(bytes));
}

std::string BytesOf(const QString& name) { return QFile::encodeName(name).toStdString(); }

// The one local file a drag carries, its name's bytes exactly as the system
// knows them, or nothing: several files and anything that is not a local
// file are not taken. The URI list is read as bytes: QUrl decodes a
// path to text, where a name that is not UTF-8 loses its bytes.
std::optional<std::string> DraggedFile(const QMimeData* data) {
  if (data == nullptr || !data->hasUrls()) {
    return std::nullopt;
  }
  const QByteArray uri_list = data->data(QStringLiteral("text/uri-list"));
  return LocalFileOfUriList(std::string_view(uri_list.constData(), uri_list.size()));
}

}  // namespace

// Made when a Run starts and destroyed when it ends: the window takes input
// again and the cursor is restored.
struct Form1::Busy {
  explicit Busy(Form1& form) : focus(form.focusWidget()), blocker(form) {}

  // Where the focus goes back to: disabling the Run button moves it on.
  QPointer<QWidget> focus;
  BusyCursor cursor;
  InputBlocker blocker;
};

Form1::Form1(QWidget* parent) : Form1(nullptr, nullptr, parent) {}

Form1::Form1(ChooseFile choose_file, ReportFailure report_failure, QWidget* parent)
    : QWidget(parent),
      cdlTest_(choose_file ? std::move(choose_file) : ChooseFile(ShowOpenDialog)),
      report_failure_(report_failure ? std::move(report_failure)
                                     : ReportFailure(telltale::ShowFailureBox)),
      presenter_(*this, BytesOf(QDir::homePath())) {
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

  connect(cmdTest_, &QPushButton::clicked, this, [this] { presenter_.OnRunPressed(); });
  // Connected after the notice is in place: putting it there is no edit.
  connect(Text3_, &QLineEdit::textChanged, this, &Form1::OnLogoNoticeChanged);
  connect(&ticks_, &QTimer::timeout, this, [this] { presenter_.OnTick(); });
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

void Form1::StartRun(const std::string& path) { presenter_.StartRun(path); }

void Form1::OnRunFinished() {
  if (presenter_.OnRunFinished()) {
    emit runFinished();
  }
}

void Form1::closeEvent(QCloseEvent* event) {
  if (presenter_.OnWindowClosing()) {
    emit runFinished();
  }
  event->accept();
}

// An enter is the first move.
void Form1::dragEnterEvent(QDragEnterEvent* event) { dragMoveEvent(event); }

void Form1::dragMoveEvent(QDragMoveEvent* event) {
  if (const std::optional<std::string> file = DraggedFile(event->mimeData());
      file && presenter_.TakesDrop(*file)) {
    event->setDropAction(Qt::CopyAction);
    event->accept();
  } else {
    event->ignore();
  }
}

void Form1::dropEvent(QDropEvent* event) {
  const std::optional<std::string> file = DraggedFile(event->mimeData());
  if (!file || !presenter_.TakesDrop(*file)) {
    event->ignore();
    return;
  }
  event->setDropAction(Qt::CopyAction);
  event->accept();
  presenter_.OnFileDropped(*file);
}

void Form1::OnLogoNoticeChanged() {
  // Emptying an empty box changes nothing, so this ends after one more call.
  Text3_->clear();
}

std::optional<std::string> Form1::AskForFile(const std::string& folder) {
  const std::optional<QString> file = cdlTest_(*this, FromBytes(folder));
  if (!file) {
    return std::nullopt;
  }
  return BytesOf(*file);
}

void Form1::SetBusy(bool busy) {
  if (busy) {
    busy_ = std::make_unique<Busy>(*this);
    cmdTest_->setEnabled(false);
    return;
  }
  const QPointer<QWidget> focus = busy_ ? busy_->focus : nullptr;
  busy_.reset();
  cmdTest_->setEnabled(true);
  if (!focus.isNull()) {
    focus->setFocus();
  }
}

void Form1::StartTicks(std::chrono::milliseconds every) { ticks_.start(every); }

void Form1::StopTicks() { ticks_.stop(); }

void Form1::ShowProgress(const ProgressShown& shown) {
  if (!progress_) {
    progress_ = std::make_unique<RunProgressDialog>(*this, FromBytes(shown.file));
    connect(progress_.get(), &QProgressDialog::canceled, this,
            [this] { presenter_.OnCancelPressed(); });
    progress_->Update(shown);
    progress_->show();
    return;
  }
  progress_->Update(shown);
}

void Form1::HideProgress() { progress_.reset(); }

void Form1::SetResults(const std::string& text) { txtResults_->setPlainText(ResultsBoxText(text)); }

void Form1::ShowFailureBox(const RunFailure& failure) { report_failure_(*this, failure); }

void Form1::PostRunFinished() {
  // Called on the Run's thread: the end is handled on the window's, after
  // this call. Should the window be gone by then, so is the call. Named, not
  // given as a function: the static analyzer takes the slot object that the
  // function's form hands to Qt for a leak.
  QMetaObject::invokeMethod(this, "OnRunFinished", Qt::QueuedConnection);
}

}  // namespace telltale
