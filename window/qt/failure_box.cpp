#include "window/qt/failure_box.h"

#include <QMessageBox>

namespace telltale {

void ShowFailureBox(QWidget& parent, const RunFailure& failure) {
  QMessageBox box(QMessageBox::Critical, QStringLiteral("Telltale"),
                  QStringLiteral("Could not scan %1.").arg(failure.path), QMessageBox::Ok, &parent);
  box.setObjectName(QStringLiteral("failureBox"));
  box.setInformativeText(
      QStringLiteral("Error %1: %2.").arg(failure.number).arg(failure.description));
  box.exec();
}

}  // namespace telltale
