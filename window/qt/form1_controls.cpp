// SPDX-License-Identifier: Apache-2.0
#include "window/qt/form1_controls.h"

#include <QAbstractScrollArea>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRect>

namespace telltale {
namespace {

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

}  // namespace

QString FromTable(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
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

}  // namespace telltale
