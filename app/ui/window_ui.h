// The window's side of the core's message/busy interface: messages in a
// message box with only an OK button, the busy indicator as the wait cursor.
#pragma once

#include <QPointer>
#include <QWidget>

#include "messages.h"

namespace corvid {

class WindowUi : public UserInterface {
 public:
  // The window the message boxes belong to (none: centred on the screen).
  void setParentWidget(QWidget* parent) { parent_ = parent; }

  void Report(Message message) override;
  // Nests: the wait cursor stays until every Busy(true) has had its
  // Busy(false).
  void Busy(bool on) override;
  int busyDepth() const { return busyDepth_; }

 private:
  QPointer<QWidget> parent_;
  int busyDepth_ = 0;
};

}  // namespace corvid
