#include "window_ui.h"

#include <QApplication>
#include <QMessageBox>

namespace corvid {

void WindowUi::Report(Message message) {
  // The core reports from inside its busy scope (an import that fails says
  // "Format Error" before the scope ends); the box gets the normal cursor
  // and the wait cursor comes back for the rest of the work.
  const int depth = busyDepth_;
  for (int i = 0; i < depth; ++i) QApplication::restoreOverrideCursor();
  QMessageBox box(QMessageBox::NoIcon, QApplication::applicationDisplayName(),
                  MessageText(message), QMessageBox::Ok, parent_);
  box.exec();
  for (int i = 0; i < depth; ++i) QApplication::setOverrideCursor(Qt::WaitCursor);
}

void WindowUi::Busy(bool on) {
  if (on) {
    ++busyDepth_;
    QApplication::setOverrideCursor(Qt::WaitCursor);
  } else if (busyDepth_ > 0) {
    --busyDepth_;
    QApplication::restoreOverrideCursor();
  }
}

}  // namespace corvid
