// The Information dialog on a real Exif file, and the save dialog's TIFF:
// what the window shows and writes for the library's Exif and TIFF parts.
#include <QAction>
#include <QFile>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include "ui_test_support.h"

namespace corvid::test {
namespace {

QString Fixture(const char* name) { return QStringLiteral(RK_SOURCE_DIR "/../shared/fixtures/") + QLatin1String(name); }

QByteArray Read(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

}  // namespace

class InfoTest : public QObject {
  Q_OBJECT

 private slots:
  // Show Info lists the file's lines in order; "Save..." writes them as
  // the text the fixture holds (UTF-8, CR LF), under the name chosen with
  // its extension made "txt".
  void showInfoListsAndSavesTheLines() {
    QTemporaryDir dir;
    Window w;
    QVERIFY(w.frame.OpenFile(Fixture("exif/read_yflower_II_0230_utf8.jpg")));
    QAction* info = w.action("fileShowInfo");
    QVERIFY(info->isEnabled());
    CMainFrame::FileDialogs dialogs;
    dialogs.infoPath = [&](QWidget*) { return dir.filePath("flower.info"); };
    w.frame.setFileDialogs(dialogs);
    const QByteArray expected = Read(Fixture("exif/read_yflower_II_0230_utf8.expected.txt"));
    QStringList shown;
    OnNextModal([&](QDialog* dialog) {
      QCOMPARE(dialog->windowTitle(), QString("Information"));
      auto* list = dialog->findChild<QListWidget*>();
      for (int i = 0; i < list->count(); ++i) shown << list->item(i)->text();
      for (QPushButton* button : dialog->findChildren<QPushButton*>()) {
        if (button->text() == QLatin1String("Save...")) button->click();
      }
      dialog->accept();
    });
    info->trigger();
    QCOMPARE(shown, QString::fromUtf8(expected).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts));
    QCOMPARE(Read(dir.filePath("flower.txt")), expected);
  }

  // "TIFF Files (*.tif)" in the save dialog gives the program's TIFF:
  // big-endian, 3 w h + 219 bytes (14 entries of 12 bytes, 36 of header
  // and values, the 15-byte comment); it opens again.
  void saveAsTiffAndOpenIt() {
    QTemporaryDir dir;
    const QString jpeg = WriteJpeg(dir.filePath("ramp.jpg"), 40, 24);
    QVERIFY(!jpeg.isEmpty());
    Window w;
    QVERIFY(w.frame.OpenFile(jpeg));
    CMainFrame::FileDialogs dialogs;
    dialogs.savePath = [&](QWidget*, const QString&) { return dir.filePath("ramp.tif"); };
    w.frame.setFileDialogs(dialogs);
    w.action("fileSave")->trigger();
    QVERIFY(w.ui.messages.isEmpty());
    const QByteArray tiff = Read(dir.filePath("ramp.tif"));
    QCOMPARE(tiff.size(), qsizetype(3 * 40 * 24 + 219));
    QVERIFY(tiff.startsWith(QByteArray("MM\0*", 4)));
    QVERIFY(w.frame.OpenFile(dir.filePath("ramp.tif")));
    QCOMPARE(w.doc.Image().Kind(), SourceKind::Tiff);
    QVERIFY(!w.action("fileShowInfo")->isEnabled());  // a TIFF of ours carries no Exif
  }
};

static const RegisterTest kInfoTest([] { return std::make_unique<InfoTest>(); });

}  // namespace corvid::test

#include "info_test.moc"
