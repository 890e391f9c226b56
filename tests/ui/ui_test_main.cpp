// Runs every registered window test class on one QApplication. The profile
// store is redirected into a temporary folder before anything reads it.
#include <QApplication>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include "command_line.h"
#include "ui_test_support.h"

int main(int argc, char** argv) {
  QStandardPaths::setTestModeEnabled(true);
  QTemporaryDir profile;
  if (!profile.isValid()) return 1;
  QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, profile.path());
  QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, profile.path());

  QApplication app(argc, argv);
  corvid::SetUpApplication(app);
  int failed = 0;
  for (const corvid::test::TestFactory& make : corvid::test::Registry()) {
    std::unique_ptr<QObject> test = make();
    failed += QTest::qExec(test.get(), argc, argv);
  }
  return failed == 0 ? 0 : 1;
}
