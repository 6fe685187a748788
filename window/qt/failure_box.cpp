// SPDX-License-Identifier: Apache-2.0
#include "window/qt/failure_box.h"

#include <QMessageBox>

namespace telltale {

void ShowFailureBox(QWidget& parent, const RunFailure& failure) {
  QMessageBox box(QMessageBox::Critical, QString::fromStdString(RunFailure::BoxTitle()),
                  QString::fromStdString(failure.BoxText()), QMessageBox::Ok, &parent);
  box.setObjectName(QStringLiteral("failureBox"));
  box.setInformativeText(QString::fromStdString(failure.BoxDetail()));
  box.exec();
}

}  // namespace telltale
