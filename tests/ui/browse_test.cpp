// Browsing with the window: the keys through a folder of mixed files, a
// drop of several files, Fit to Window and the zoom steps, the exclusive
// choices, and the dialogs starting in the picture's folder.
#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QWheelEvent>

#include "corvid_view.h"
#include "ui_test_support.h"

namespace corvid::test {
namespace {

QString Title(const QString& name, QSize size, int percent) {
  return QString::fromUtf8("%1 (%2 × %3, %4%) - Corvid")
      .arg(name)
      .arg(size.width())
      .arg(size.height())
      .arg(percent);
}

bool ShowActive(QWidget& window) {
  window.show();
  window.activateWindow();
  return QTest::qWaitForWindowActive(&window);
}

// The checked items of the zoom choices.
QStringList CheckedZooms(const Window& w) {
  QStringList checked;
  for (const char* name : {"zoomNormal", "zoomHalf", "zoomDouble", "zoomFit"}) {
    if (w.action(name)->isChecked()) checked << QLatin1String(name);
  }
  return checked;
}

}  // namespace

class BrowseTest : public QObject {
  Q_OBJECT

 private slots:
  void init() { ClearProfile(); }

  void keysWalkAFolderPastWhatDoesNotOpen() {
    QTemporaryDir dir;
    QVERIFY(QFile::copy(SamplePath("photo_scene.cam"), dir.filePath("pic10.cam")));
    QVERIFY(QFile::copy(SamplePath("lines_text.cam"), dir.filePath("pic2.cam")));
    QVERIFY(QFile::copy(SamplePath("colour_chart.cam"), dir.filePath("pic1.cam")));
    QVERIFY(!WriteJpeg(dir.filePath("pic3.jpg"), 64, 48).isEmpty());
    for (const auto& [name, bytes] : {std::pair{"pic4.jpg", QByteArray("\xFF\xD8\xFF\xE0 damaged")},
                                      std::pair{"pic5.txt", QByteArray("notes")}}) {
      QFile file(dir.filePath(name));
      QVERIFY(file.open(QIODevice::WriteOnly));
      file.write(bytes);
    }
    Window w;
    QVERIFY(ShowActive(w.frame));
    QVERIFY(w.frame.OpenFile(dir.filePath("pic1.cam")));

    const struct {
      Qt::Key key;
      const char* name;
      QSize size;
    } steps[] = {
        {Qt::Key_Space, "pic2.cam", {480, 360}},
        {Qt::Key_Space, "pic3.jpg", {64, 48}},
        {Qt::Key_PageDown, "pic10.cam", {480, 360}},  // past the damaged JPEG and the text
        {Qt::Key_Space, "pic1.cam", {480, 360}},      // round to the start
        {Qt::Key_Backspace, "pic10.cam", {480, 360}},
        {Qt::Key_PageUp, "pic3.jpg", {64, 48}},
    };
    for (const auto& step : steps) {
      QTest::keyClick(&w.frame, step.key);
      QCOMPARE(w.frame.windowTitle(), Title(step.name, step.size, 100));
      QCOMPARE(w.doc.Path(), dir.filePath(step.name));
      QCOMPARE(w.frame.view()->Picture(), PictureImage(w.doc.Image().Picture()));
    }
    QVERIFY(w.ui.messages.isEmpty());
    // The recent list names the picture last seen, once for the folder.
    QCOMPARE(w.frame.recentFiles().Paths(), QStringList({dir.filePath("pic3.jpg")}));
  }

  void dropOfSeveralFilesOpensTheFirstAndBrowsesTheRest() {
    QTemporaryDir dir;
    const QStringList files = {dir.filePath("b.cam"), dir.filePath("notes.txt"), dir.filePath("a.cam")};
    QVERIFY(QFile::copy(SamplePath("photo_scene.cam"), files[0]));
    QVERIFY(QFile::copy(SamplePath("lines_text.cam"), files[2]));
    QVERIFY(QFile::copy(SamplePath("colour_chart.cam"), dir.filePath("c.cam")));  // not dropped
    QFile text(files[1]);
    QVERIFY(text.open(QIODevice::WriteOnly));
    text.write("notes");
    text.close();
    Window w;
    QVERIFY(ShowActive(w.frame));
    QVERIFY(DropFiles(&w.frame, files));
    QCOMPARE(w.doc.Path(), files[0]);
    QCOMPARE(w.frame.browseList().Files(), files);
    for (const QString& next : {files[2], files[0]}) {
      QTest::keyClick(&w.frame, Qt::Key_Space);
      QCOMPARE(w.doc.Path(), next);
    }
    QVERIFY(w.ui.messages.isEmpty());
  }

  void fitToWindowAndZoomSteps() {
    QTemporaryDir dir;
    const QString jpeg = WriteJpeg(dir.filePath("large.jpg"), 1200, 900);
    QVERIFY(!jpeg.isEmpty());
    Window w;
    w.frame.resize(640, 480);
    QVERIFY(ShowActive(w.frame));
    QVERIFY(w.frame.OpenFile(jpeg));
    CCorvidView* view = w.frame.view();
    // Fitted: the whole picture in the window, its shape kept.
    QCOMPARE(CheckedZooms(w), QStringList({"zoomFit"}));
    QVERIFY(view->PictureFits());
    const QSize fitted = view->ScrollSize();
    QVERIFY(fitted.width() == view->viewport()->width() || fitted.height() == view->viewport()->height());
    QVERIFY(qAbs(fitted.width() * 900 - fitted.height() * 1200) <= 1200);
    QCOMPARE(w.frame.windowTitle(), Title("large.jpg", {1200, 900}, qRound(view->Scale() * 100)));
    QVERIFY(view->Scale() < 0.5);

    const struct {
      QKeyCombination keys;
      const char* checked;
      int percent;
    } steps[] = {
        {Qt::CTRL | Qt::Key_Plus, "zoomHalf", 50},     {Qt::CTRL | Qt::Key_Plus, "zoomNormal", 100},
        {Qt::CTRL | Qt::Key_Equal, "zoomDouble", 200}, {Qt::CTRL | Qt::Key_Plus, "zoomDouble", 200},
        {Qt::CTRL | Qt::Key_Minus, "zoomNormal", 100}, {Qt::CTRL | Qt::Key_Minus, "zoomHalf", 50},
        {Qt::CTRL | Qt::Key_Minus, "zoomHalf", 50},    {QKeyCombination(Qt::Key_F), "zoomFit", 0},
    };
    for (const auto& step : steps) {
      QTest::keyClick(&w.frame, step.keys.key(), step.keys.keyboardModifiers());
      QCOMPARE(CheckedZooms(w), QStringList({step.checked}));
      if (step.percent == 0) {
        QCOMPARE(view->ScrollSize(), fitted);
        continue;
      }
      QCOMPARE(view->ScrollSize(), QSize(1200, 900) * step.percent / 100);
      QCOMPARE(w.frame.windowTitle(), Title("large.jpg", {1200, 900}, step.percent));
    }

    // Ctrl+wheel steps the same way, one step a notch; touchpad eighths add up.
    const auto wheel = [view](int delta) {
      const QPointF at(view->viewport()->width() / 2.0, view->viewport()->height() / 2.0);
      QWheelEvent event(at, view->viewport()->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton,
                        Qt::ControlModifier, Qt::NoScrollPhase, false);
      QApplication::sendEvent(view->viewport(), &event);
    };
    wheel(120);
    QCOMPARE(CheckedZooms(w), QStringList({"zoomHalf"}));
    for (int i = 0; i < 8; ++i) wheel(15);
    QCOMPARE(CheckedZooms(w), QStringList({"zoomNormal"}));

    // Larger than the window, Page Down scrolls instead of turning the page.
    QScrollBar* bar = view->verticalScrollBar();
    const int before = bar->value();
    QVERIFY(before < bar->maximum());
    QTest::keyClick(&w.frame, Qt::Key_PageDown);
    QCOMPARE(bar->value(), qMin(before + bar->pageStep(), bar->maximum()));
    QCOMPARE(w.doc.Path(), jpeg);
  }

  void sizeAndZoomChoicesAreExclusive_data() {
    QTest::addColumn<QStringList>("names");
    QTest::newRow("CAM sizes") << QStringList{"camSize480x240", "camSize320x240", "camSize480x360"};
    QTest::newRow("zoom") << QStringList{"zoomHalf", "zoomDouble", "zoomFit", "zoomNormal"};
  }
  void sizeAndZoomChoicesAreExclusive() {
    QFETCH(QStringList, names);
    Window w;
    for (const QString& name : names) {
      // Chosen twice: a choice cannot be unchecked by choosing it again.
      for (int twice = 0; twice < 2; ++twice) {
        w.action(name.toLatin1().constData())->trigger();
        for (const QString& other : names) {
          QCOMPARE(w.action(other.toLatin1().constData())->isChecked(), other == name);
        }
      }
    }
    QVERIFY(w.action(names[0].toLatin1().constData())->actionGroup()->isExclusive());
  }

  void openDialogStartsInThePicturesFolder() {
    QTemporaryDir dir;
    QVERIFY(QFile::copy(SamplePath("photo_scene.cam"), dir.filePath("shot.cam")));
    QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs, true);
    Window w;
    CMainFrame::FileDialogs dialogs;
    dialogs.openPath = CMainFrame::PlatformDialogs().openPath;
    w.frame.setFileDialogs(dialogs);
    QCOMPARE(w.frame.StartFolder(), QString());
    QVERIFY(w.frame.OpenFile(dir.filePath("shot.cam")));
    QCOMPARE(w.frame.StartFolder(), QDir(dir.path()).absolutePath());
    QString shown;
    OnNextModal([&](QDialog* dialog) {
      shown = QDir(qobject_cast<QFileDialog*>(dialog)->directory()).canonicalPath();
      dialog->reject();
    });
    w.action("fileOpen")->trigger();
    QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs, false);
    QCOMPARE(shown, QDir(dir.path()).canonicalPath());
  }
};

static const RegisterTest kBrowseTest([] { return std::make_unique<BrowseTest>(); });

}  // namespace corvid::test

#include "browse_test.moc"
