// A user interface that can hold back what the core reports: browsing opens
// the next file quietly, and only a file that opened shows its messages
// (an auto conversion that failed, say); one that did not is passed over
// without its "Format Error".
#pragma once

#include <QString>
#include <vector>

#include "messages.h"

namespace corvid {

class MessageGate : public UserInterface {
 public:
  explicit MessageGate(UserInterface& target) : target_(target) {}

  void Report(Message message) override { ReportFile(message, QString(), QString()); }
  void ReportFile(Message message, const QString& path, const QString& reason) override {
    if (holding_) {
      held_.push_back(Held{message, path, reason});
    } else if (path.isEmpty() && reason.isEmpty()) {
      target_.Report(message);
    } else {
      target_.ReportFile(message, path, reason);
    }
  }
  void Busy(bool on) override { target_.Busy(on); }

  // From now on messages wait.
  void Hold() { holding_ = true; }
  // Ends the hold: the waiting messages go on in order (deliver) or are
  // dropped.
  void Release(bool deliver) {
    holding_ = false;
    std::vector<Held> held;
    held.swap(held_);
    if (!deliver) return;
    for (const Held& h : held) ReportFile(h.message, h.path, h.reason);
  }

 private:
  struct Held {
    Message message;
    QString path;
    QString reason;
  };
  UserInterface& target_;
  bool holding_ = false;
  std::vector<Held> held_;
};

}  // namespace corvid
