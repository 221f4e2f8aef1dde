// Qt message boxes with the buttons and default button of the box type.
#include "QtMessageBoxes.h"

#include <QCoreApplication>
#include <QMessageBox>

int QtMessageBoxes::MessageBox(const char* text, UINT type) {
  QMessageBox box;
  box.setWindowTitle(QCoreApplication::applicationName());
  box.setText(QString::fromUtf8(text));
  if ((type & 0xF0u) == MB_ICONSTOP) {
    box.setIcon(QMessageBox::Critical);
  } else if ((type & 0xF0u) == MB_ICONEXCLAMATION) {
    box.setIcon(QMessageBox::Warning);
  }
  if ((type & 0x0Fu) == MB_YESNO) {
    box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
    box.setDefaultButton((type & MB_DEFBUTTON2) != 0 ? QMessageBox::No : QMessageBox::Yes);
    box.setEscapeButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes ? IDYES : IDNO;
  }
  box.setStandardButtons(QMessageBox::Ok);
  box.exec();
  return IDOK;
}
