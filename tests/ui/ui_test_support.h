// Helpers of the window tests: a recording stand-in for the message box,
// the bundled samples, pictures written through the core, and a hand for
// the modal dialogs that the commands open.
#pragma once

#include <QDialog>
#include <QList>
#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <vector>

#include "document.h"
#include "main_frame.h"
#include "messages.h"

namespace corvid::test {

// Collects what the core would show, and checks that busy calls pair up.
class RecordingUi : public UserInterface {
 public:
  void Report(Message message) override { messages << message; }
  void Busy(bool on) override { on ? ++busyOn : ++busyOff; }
  QList<Message> messages;
  int busyOn = 0;
  int busyOff = 0;
};

// One window as the program builds it, with the recording interface and
// file dialogs that fail the test unless a test sets them.
struct Window {
  Window();
  RecordingUi ui;
  CCorvidDoc doc{ui};
  CMainFrame frame{doc};
  QAction* action(const char* name) const;
};

// samples/NAME in the source tree.
QString SamplePath(const char* name);
// A JPEG file of width x height (a colour ramp) written by the core's
// encoder; empty on failure.
QString WriteJpeg(const QString& path, int width, int height);
// Sends a drag-enter and a drop of local files to the window, as the
// window system does; true when the drop was taken.
bool DropFiles(QWidget* target, const QStringList& paths);
// Empties the test profile store.
void ClearProfile();

// Runs `act` on the modal dialog that the next exec() shows (polls until
// one is up, gives up after a few seconds), then rejects the dialog if
// `act` left it open.
void OnNextModal(std::function<void(QDialog*)> act);

// The test classes register themselves; main runs them all.
using TestFactory = std::function<std::unique_ptr<QObject>()>;
std::vector<TestFactory>& Registry();
struct RegisterTest {
  explicit RegisterTest(TestFactory factory) { Registry().push_back(std::move(factory)); }
};

}  // namespace corvid::test
