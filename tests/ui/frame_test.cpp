// The main window: menus and toolbar as tabulated, the one open path
// (command line, drop, recent list), zoom and CAM size commands, the
// dialogs as the commands run them, and what the window keeps.
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>
#include <QUrl>

#include "command_line.h"
#include "corvid_view.h"
#include "ui_test_support.h"

namespace corvid::test {
namespace {

// The menu's items, separators as "-", hidden items left out.
QStringList MenuTexts(const QMenu* menu) {
  QStringList texts;
  for (const QAction* action : menu->actions()) {
    if (!action->isVisible()) continue;
    texts << (action->isSeparator() ? QStringLiteral("-") : action->text());
  }
  return texts;
}

QMenu* MenuNamed(const QMainWindow& frame, const QString& title) {
  for (QAction* action : frame.menuBar()->actions()) {
    if (action->text() == title) return action->menu();
  }
  return nullptr;
}

QPushButton* ButtonNamed(QDialog* dialog, const QString& text) {
  for (QPushButton* button : dialog->findChildren<QPushButton*>()) {
    if (button->text() == text) return button;
  }
  return nullptr;
}

}  // namespace

class FrameTest : public QObject {
  Q_OBJECT

 private slots:
  void init() { ClearProfile(); }

  void menusAreAsTabulated() {
    Window w;
    QStringList titles;
    for (const QAction* action : w.frame.menuBar()->actions()) titles << action->text();
    QCOMPARE(titles, QStringList({"&File", "&Edit", "&Option", "&Help"}));
    QCOMPARE(MenuTexts(MenuNamed(w.frame, "&File")),
             QStringList({"&Open..\tCtrl+O", "&Save...\tCtrl+S", "Show &Info...\tCtrl+I", "-",
                          "Recent File", "-", "E&xit"}));
    QCOMPARE(MenuTexts(MenuNamed(w.frame, "&Edit")),
             QStringList({"&Undo\tCtrl+Z", "-", "Cu&t\tCtrl+X", "&Copy\tCtrl+C", "&Paste\tCtrl+V"}));
    QCOMPARE(MenuTexts(MenuNamed(w.frame, "&Option")),
             QStringList({"&Toolbar", "-", "480x360", "480x240", "320x240", "-", "Normal Size",
                          "Half Size", "Double Size", "Fit to Window", "-", "Auto Conversion...",
                          "JPEG..."}));
    QCOMPARE(MenuTexts(MenuNamed(w.frame, "&Help")), QStringList({"&About Corvid..."}));

    // Check marks where the items choose a setting.
    for (const char* name : {"viewToolbar", "camSize480x360", "camSize480x240", "camSize320x240",
                             "zoomNormal", "zoomHalf", "zoomDouble", "zoomFit"}) {
      QVERIFY2(w.action(name)->isCheckable(), name);
    }
    QVERIFY(w.action("camSize480x360")->isChecked());
    // Pictures larger than the window are fitted to it unless a size is chosen.
    QVERIFY(w.action("zoomFit")->isChecked());
    QVERIFY(!w.action("zoomNormal")->isChecked());
    QVERIFY(!w.action("fileRecentNone")->isEnabled());
  }

  void acceleratorsReachTheirCommands_data() {
    QTest::addColumn<QString>("keys");
    QTest::addColumn<QString>("action");
    QTest::addColumn<bool>("enabled");
    QTest::newRow("open") << "Ctrl+O" << "fileOpen" << true;
    QTest::newRow("save") << "Ctrl+S" << "fileSave" << true;
    QTest::newRow("info without Exif") << "Ctrl+I" << "fileShowInfo" << false;
    QTest::newRow("new") << "Ctrl+N" << "fileNew" << false;
    QTest::newRow("print") << "Ctrl+P" << "filePrint" << false;
    QTest::newRow("copy") << "Ctrl+C" << "editCopy" << false;
    QTest::newRow("copy, insert") << "Ctrl+Ins" << "editCopy" << false;
    QTest::newRow("cut") << "Ctrl+X" << "editCut" << false;
    QTest::newRow("cut, delete") << "Shift+Del" << "editCut" << false;
    QTest::newRow("paste") << "Ctrl+V" << "editPaste" << false;
    QTest::newRow("paste, insert") << "Shift+Ins" << "editPaste" << false;
    QTest::newRow("undo") << "Ctrl+Z" << "editUndo" << false;
    QTest::newRow("undo, backspace") << "Alt+Backspace" << "editUndo" << false;
    QTest::newRow("next pane") << "F6" << "nextPane" << false;
    QTest::newRow("previous pane") << "Shift+F6" << "prevPane" << false;
    // Browsing and zoom keys; with nothing open there is nothing to step
    // through or to zoom.
    QTest::newRow("next picture") << "Space" << "browseNext" << false;
    QTest::newRow("previous picture") << "Backspace" << "browsePrevious" << false;
    QTest::newRow("page down") << "PgDown" << "pageNext" << true;
    QTest::newRow("page up") << "PgUp" << "pagePrevious" << true;
    QTest::newRow("fit to window") << "F" << "zoomFit" << true;
    QTest::newRow("zoom in") << "Ctrl++" << "zoomIn" << false;
    QTest::newRow("zoom in, =") << "Ctrl+=" << "zoomIn" << false;
    QTest::newRow("zoom out") << "Ctrl+-" << "zoomOut" << false;
  }
  void acceleratorsReachTheirCommands() {
    QFETCH(QString, keys);
    QFETCH(QString, action);
    QFETCH(bool, enabled);
    Window w;
    const QKeySequence sequence(keys);
    QList<QAction*> bound;
    for (QAction* a : w.frame.findChildren<QAction*>()) {
      if (a->shortcuts().contains(sequence)) bound << a;
    }
    QCOMPARE(bound.size(), 1);
    QCOMPARE(bound[0]->objectName(), action);
    QCOMPARE(bound[0]->isEnabled(), enabled);
  }

  void toolBarHasTheButtonsAndTexts() {
    Window w;
    QToolBar* bar = w.frame.toolBar();
    QStringList names;
    for (const QAction* action : bar->actions()) {
      names << (action->isSeparator() ? QStringLiteral("-") : action->objectName());
    }
    QCOMPARE(names, QStringList({"fileOpen", "fileSave", "-", "editCut", "editCopy", "editPaste",
                                 "-", "appAbout"}));
    QCOMPARE(w.frame.toolBarArea(bar), Qt::TopToolBarArea);
    QCOMPARE(bar->allowedAreas(), Qt::AllToolBarAreas);
    QVERIFY(bar->isMovable());
    QVERIFY(bar->isFloatable());
    QCOMPARE(w.action("fileOpen")->toolTip(), QString("Open"));
    QCOMPARE(w.action("fileOpen")->statusTip(), QString("Open the Image File"));
    QCOMPARE(w.action("fileSave")->toolTip(), QString("Save"));
    QCOMPARE(w.action("fileSave")->statusTip(), QString("Save Image as file"));
    QCOMPARE(w.action("appAbout")->toolTip(), QString("About"));
    QCOMPARE(w.action("appAbout")->statusTip(),
             QString("Display program information, version number and copyright"));
    for (const QAction* action : bar->actions()) {
      if (!action->isSeparator()) QVERIFY2(!action->icon().isNull(), qPrintable(action->objectName()));
    }
  }

  void toolbarItemShowsAndHidesTheBar() {
    Window w;
    w.frame.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w.frame));
    QAction* toggle = w.action("viewToolbar");
    QVERIFY(toggle->isChecked());
    toggle->trigger();
    QVERIFY(w.frame.toolBar()->isHidden());
    QVERIFY(!toggle->isChecked());
    toggle->trigger();
    QVERIFY(!w.frame.toolBar()->isHidden());
    QVERIFY(toggle->isChecked());
    // Hidden another way (the bar's own context menu): the check follows.
    w.frame.toolBar()->hide();
    QVERIFY(!toggle->isChecked());
  }

  void commandLineFileOpensLikeOpen() {
    const QString sample = SamplePath("photo_scene.cam");
    StartupOptions options;
    QString text;
    QCOMPARE(ParseCommandLine({"corvid", sample}, &options, &text), StartupParse::Run);
    QCOMPARE(options.file, sample);

    Window w;
    QVERIFY(w.frame.OpenFile(options.file));
    w.frame.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w.frame));
    QVERIFY(w.ui.messages.isEmpty());
    QCOMPARE(w.frame.view()->Picture().size(), QSize(480, 360));
    QCOMPARE(w.frame.view()->Picture(), PictureImage(w.doc.Image().Picture()));
    QCOMPARE(w.frame.view()->ScrollSize(), QSize(480, 360));
    QCOMPARE(w.frame.windowTitle(), QString::fromUtf8("photo_scene.cam (480 × 360, 100%) - Corvid"));
    QCOMPARE(w.frame.recentFiles().Paths(), QStringList({QFileInfo(sample).absoluteFilePath()}));
    // Library work ran inside the busy indicator, and it was ended.
    QVERIFY(w.ui.busyOn > 0);
    QCOMPARE(w.ui.busyOff, w.ui.busyOn);
  }

  void commandLineIsParsed_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("result");
    QTest::addColumn<QString>("file");
    QTest::newRow("no file") << QStringList{"corvid"} << int(StartupParse::Run) << QString();
    QTest::newRow("one file") << QStringList{"corvid", "a.cam"} << int(StartupParse::Run) << "a.cam";
    QTest::newRow("two files") << QStringList{"corvid", "a.cam", "b.cam"} << int(StartupParse::UsageError)
                               << QString();
    QTest::newRow("unknown option") << QStringList{"corvid", "--frobnicate"}
                                    << int(StartupParse::UsageError) << QString();
    QTest::newRow("help") << QStringList{"corvid", "--help"} << int(StartupParse::Help) << QString();
    QTest::newRow("version") << QStringList{"corvid", "--version"} << int(StartupParse::Version)
                             << QString();
  }
  void commandLineIsParsed() {
    QFETCH(QStringList, args);
    QFETCH(int, result);
    QFETCH(QString, file);
    StartupOptions options;
    QString text;
    QCOMPARE(int(ParseCommandLine(args, &options, &text)), result);
    QCOMPARE(options.file, file);
    if (result != int(StartupParse::Run)) QVERIFY(!text.isEmpty());
  }

  void droppedFileOpensWithAutoConversion() {
    QTemporaryDir out;
    QVERIFY(out.isValid());
    Window w;
    Settings& settings = w.doc.Image().settings();
    settings.storeType = kAutoConversionOn | static_cast<uint32_t>(Target::Bmp);
    settings.outputPath = out.path() + QLatin1Char('/');
    QVERIFY(DropFiles(&w.frame, {SamplePath("colour_chart.cam")}));
    QCOMPARE(w.frame.view()->Picture().size(), QSize(480, 360));
    QVERIFY(w.frame.windowTitle().startsWith(QString::fromUtf8("colour_chart.cam (480 × 360, ")));
    QVERIFY(QFile::exists(out.filePath("colour_chart.bmp")));
    QVERIFY(w.ui.messages.isEmpty());
  }

  void dropWithoutFilesIsRefused() {
    Window w;
    QMimeData mime;
    mime.setText(QStringLiteral("not a file"));
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&w.frame, &enter);
    QVERIFY(!enter.isAccepted());
  }

  void zoomSetsTheScrollSize_data() {
    QTest::addColumn<QString>("command");
    QTest::addColumn<QSize>("scrollSize");
    QTest::newRow("normal") << "zoomNormal" << QSize(481, 361);
    QTest::newRow("half") << "zoomHalf" << QSize(240, 180);
    QTest::newRow("double") << "zoomDouble" << QSize(962, 722);
  }
  void zoomSetsTheScrollSize() {
    QFETCH(QString, command);
    QFETCH(QSize, scrollSize);
    QTemporaryDir dir;
    const QString jpeg = WriteJpeg(dir.filePath("odd.jpg"), 481, 361);
    QVERIFY(!jpeg.isEmpty());
    Window w;
    w.frame.resize(400, 300);
    w.frame.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w.frame));
    QVERIFY(w.frame.OpenFile(jpeg));
    CCorvidView* view = w.frame.view();
    // Larger than the window: fitted at first.
    QVERIFY(view->PictureFits());
    QVERIFY(view->ScrollSize().width() < 481);

    w.action(command.toLatin1().constData())->trigger();
    QCOMPARE(view->ScrollSize(), scrollSize);
    const QSize page = view->viewport()->size();
    QCOMPARE(view->horizontalScrollBar()->maximum(), qMax(0, scrollSize.width() - page.width()));
    QCOMPARE(view->verticalScrollBar()->maximum(), qMax(0, scrollSize.height() - page.height()));
    // Exactly one zoom item is checked: the one chosen.
    for (const char* name : {"zoomNormal", "zoomHalf", "zoomDouble", "zoomFit"}) {
      QCOMPARE(w.action(name)->isChecked(), command == QLatin1String(name));
    }
    // The picture is drawn at that size.
    QSignalSpy drawn(view, &CCorvidView::pictureDrawn);
    view->viewport()->repaint();
    QCOMPARE(drawn.count(), 1);
  }

  void camSizeAppliesToTheNextOpen() {
    Window w;
    const QString sample = SamplePath("lines_text.cam");
    QVERIFY(w.frame.OpenFile(sample));
    const QImage before = w.frame.view()->Picture();
    const QSize scrolled = w.frame.view()->ScrollSize();
    QCOMPARE(before.size(), QSize(480, 360));

    w.action("camSize320x240")->trigger();
    QVERIFY(w.action("camSize320x240")->isChecked());
    QVERIFY(!w.action("camSize480x360")->isChecked());
    QCOMPARE(w.frame.view()->Picture(), before);
    QCOMPARE(w.frame.view()->ScrollSize(), scrolled);

    QVERIFY(w.frame.OpenFile(sample));
    QCOMPARE(w.frame.view()->Picture().size(), QSize(320, 240));
    w.action("camSize480x240")->trigger();
    QVERIFY(w.frame.OpenFile(sample));
    QCOMPARE(w.frame.view()->Picture().size(), QSize(480, 240));
  }

  void unrecognisedFileKeepsThePicture() {
    QTemporaryDir dir;
    QFile text(dir.filePath("notes.txt"));
    QVERIFY(text.open(QIODevice::WriteOnly));
    text.write("not a picture\n");
    text.close();

    Window w;
    QVERIFY(w.frame.OpenFile(SamplePath("photo_scene.cam")));
    const QImage shown = w.frame.view()->Picture();
    const QStringList recent = w.frame.recentFiles().Paths();
    const QString title = w.frame.windowTitle();
    QVERIFY(title.startsWith("photo_scene.cam ("));
    QVERIFY(!w.frame.OpenFile(text.fileName()));
    QCOMPARE(w.ui.messages, QList<Message>({Message::FormatError}));
    QCOMPARE(w.frame.view()->Picture(), shown);
    QCOMPARE(w.frame.windowTitle(), title);
    QCOMPARE(w.frame.recentFiles().Paths(), recent);
  }

  void saveWithoutPictureDoesNothing() {
    Window w;
    int asked = 0;
    CMainFrame::FileDialogs dialogs;
    dialogs.savePath = [&asked](QWidget*, const QString&) {
      ++asked;
      return QString();
    };
    w.frame.setFileDialogs(dialogs);
    QVERIFY(w.action("fileSave")->isEnabled());
    w.action("fileSave")->trigger();
    QCOMPARE(asked, 0);
    QVERIFY(w.ui.messages.isEmpty());
  }

  void saveProposesTheNameWithoutExtension() {
    QTemporaryDir dir;
    QVERIFY(QFile::copy(SamplePath("photo_scene.cam"), dir.filePath("shot.cam")));
    Window w;
    QVERIFY(w.frame.OpenFile(dir.filePath("shot.cam")));
    QString proposed;
    CMainFrame::FileDialogs dialogs;
    dialogs.savePath = [&](QWidget*, const QString& name) {
      proposed = name;
      return dir.filePath("shot.bmp");
    };
    w.frame.setFileDialogs(dialogs);
    w.action("fileSave")->trigger();
    QCOMPARE(proposed, QFileInfo(dir.filePath("shot")).absoluteFilePath());
    QFile bmp(dir.filePath("shot.bmp"));
    QVERIFY(bmp.open(QIODevice::ReadOnly));
    QCOMPARE(bmp.read(2), QByteArray("BM"));
    QCOMPARE(bmp.size(), qint64(54 + 480 * 3 * 360));
  }

  // A save that fails touches no file: saving the opened picture over a
  // file named ".jpeg" (no type the program writes) leaves it byte for byte.
  void failedSaveLeavesTheFileAsItWas() {
    QTemporaryDir dir;
    const QString jpeg = WriteJpeg(dir.filePath("photo.jpg"), 40, 24);
    QVERIFY(!jpeg.isEmpty());
    const QString target = dir.filePath("photo.jpeg");
    QVERIFY(QFile::copy(jpeg, target));
    QFile original(target);
    QVERIFY(original.open(QIODevice::ReadOnly));
    const QByteArray before = original.readAll();
    original.close();
    Window w;
    QVERIFY(w.frame.OpenFile(jpeg));
    w.doc.Image().settings().alwaysCompress = 1;
    CMainFrame::FileDialogs dialogs;
    dialogs.savePath = [&](QWidget*, const QString&) { return target; };
    w.frame.setFileDialogs(dialogs);
    w.action("fileSave")->trigger();
    QCOMPARE(w.ui.messages, QList<Message>({Message::FormatError}));
    QVERIFY(original.open(QIODevice::ReadOnly));
    QCOMPARE(original.readAll(), before);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList({"photo.jpeg", "photo.jpg"}));
  }

  // The Save dialog itself: the type chosen gives a name typed without an
  // extension its extension.
  void saveDialogTypeDecidesTheExtension() {
    QTemporaryDir dir;
    QVERIFY(QFile::copy(SamplePath("photo_scene.cam"), dir.filePath("shot.cam")));
    QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs, true);
    Window w;
    QVERIFY(w.frame.OpenFile(dir.filePath("shot.cam")));
    CMainFrame::FileDialogs dialogs;
    dialogs.savePath = CMainFrame::PlatformDialogs().savePath;
    w.frame.setFileDialogs(dialogs);
    bool driven = false;
    OnNextModal([&](QDialog* dialog) {
      // It starts in the picture's folder.
      QCOMPARE(QDir(qobject_cast<QFileDialog*>(dialog)->directory()).canonicalPath(),
               QDir(dir.path()).canonicalPath());
      auto* types = dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
      auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
      QVERIFY(types != nullptr && name != nullptr);
      QCOMPARE(types->currentText(), QString("JPEG Files (*.jpg)"));
      QTest::keyClick(types, Qt::Key_Down);  // as the user picks the next type
      QCOMPARE(types->currentText(), QString("BitMap Files (*.bmp)"));
      name->setText(QStringLiteral("photo_scene"));
      dialog->accept();
      driven = true;
    });
    w.action("fileSave")->trigger();
    QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs, false);
    QVERIFY(driven);
    QVERIFY(w.ui.messages.isEmpty());
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList({"photo_scene.bmp", "shot.cam"}));
    QFile bmp(dir.filePath("photo_scene.bmp"));
    QVERIFY(bmp.open(QIODevice::ReadOnly));
    QCOMPARE(bmp.read(2), QByteArray("BM"));
  }

  void showInfoFollowsTheExifInformation() {
    Window w;
    QAction* info = w.action("fileShowInfo");
    QVERIFY(!info->isEnabled());
    QVERIFY(w.frame.OpenFile(SamplePath("photo_scene.cam")));
    QVERIFY(!w.doc.HasInfo());
    QVERIFY(!info->isEnabled());
    // Triggered anyway (a stale shortcut): no dialog, nothing happens.
    info->trigger();
    QVERIFY(QApplication::activeModalWidget() == nullptr);
  }

  void recentListKeepsFourNewestFirst() {
    QTemporaryDir dir;
    QStringList files;
    for (int i = 1; i <= 5; ++i) {
      files << dir.filePath(QStringLiteral("pic%1.cam").arg(i));
      QVERIFY(QFile::copy(SamplePath("lines_text.cam"), files.last()));
    }
    {
      Window w;
      for (const QString& file : files) QVERIFY(w.frame.OpenFile(file));
      QCOMPARE(w.frame.recentFiles().Paths(), QStringList({files[4], files[3], files[2], files[1]}));
      // Opening one already listed moves it up; nothing is listed twice.
      QVERIFY(w.frame.OpenFile(files[2]));
      QCOMPARE(w.frame.recentFiles().Paths(), QStringList({files[2], files[4], files[3], files[1]}));
      const QStringList menu = MenuTexts(MenuNamed(w.frame, "&File"));
      QCOMPARE(menu.mid(4, 4),
               QStringList({"&1 " + QDir::toNativeSeparators(files[2]),
                            "&2 " + QDir::toNativeSeparators(files[4]),
                            "&3 " + QDir::toNativeSeparators(files[3]),
                            "&4 " + QDir::toNativeSeparators(files[1])}));
      QVERIFY(!menu.contains("Recent File"));
      w.frame.close();
    }
    // Kept with the settings: a new window starts with the same list, and
    // its entries open the file as Open does.
    Window again;
    QCOMPARE(again.frame.recentFiles().Paths(), QStringList({files[2], files[4], files[3], files[1]}));
    again.action("fileRecent3")->trigger();
    QVERIFY(again.frame.windowTitle().startsWith("pic4.cam ("));
    QCOMPARE(again.frame.recentFiles().Paths().first(), files[3]);
    // An entry whose file has gone leaves the list.
    QVERIFY(QFile::remove(files[1]));
    again.action("fileRecent4")->trigger();
    QCOMPARE(again.frame.recentFiles().Paths(), QStringList({files[3], files[2], files[4]}));
  }

  void windowRemembersItsSize() {
    {
      Window w;
      w.frame.show();
      QVERIFY(QTest::qWaitForWindowExposed(&w.frame));
      w.frame.resize(720, 530);
      QTRY_COMPARE(w.frame.size(), QSize(720, 530));
      w.frame.close();
    }
    Window again;
    QCOMPARE(again.frame.size(), QSize(720, 530));
  }

  void autoConversionDialogStoresOnOkOnly_data() {
    QTest::addColumn<bool>("ok");
    QTest::newRow("OK") << true;
    QTest::newRow("Cancel") << false;
  }
  void autoConversionDialogStoresOnOkOnly() {
    QFETCH(bool, ok);
    Window w;
    Settings& settings = w.doc.Image().settings();
    settings.storeType = 1;
    settings.outputPath = QStringLiteral("/old/");
    QString title;
    OnNextModal([&](QDialog* dialog) {
      title = dialog->windowTitle();
      dialog->findChild<QCheckBox*>()->setChecked(true);
      dialog->findChild<QListWidget*>()->setCurrentRow(2);
      dialog->findChild<QLineEdit*>()->setText(QStringLiteral("/new/"));
      ButtonNamed(dialog, ok ? "OK" : "Cancel")->click();
    });
    w.action("autoConversion")->trigger();
    QCOMPARE(title, QString("Auto Conversion Setting"));
    QCOMPARE(settings.storeType, ok ? 0x12u : 1u);
    QCOMPARE(settings.outputPath, ok ? QString("/new/") : QString("/old/"));
  }

  void jpegDialogStoresOnOkOnly_data() {
    QTest::addColumn<bool>("ok");
    QTest::newRow("OK") << true;
    QTest::newRow("Cancel") << false;
  }
  void jpegDialogStoresOnOkOnly() {
    QFETCH(bool, ok);
    Window w;
    Settings& settings = w.doc.Image().settings();
    QString title;
    QString shownAtStart;
    OnNextModal([&](QDialog* dialog) {
      title = dialog->windowTitle();
      auto* slider = dialog->findChild<QSlider*>();
      for (QLabel* label : dialog->findChildren<QLabel*>()) {
        if (label->text() == QLatin1String("32")) shownAtStart = label->text();
      }
      QCOMPARE(slider->value(), 31);
      slider->setValue(99);
      dialog->findChild<QCheckBox*>()->setChecked(true);
      for (QRadioButton* radio : dialog->findChildren<QRadioButton*>()) {
        if (radio->text() == QLatin1String("Progressive")) radio->setChecked(true);
      }
      ButtonNamed(dialog, ok ? "OK" : "Cancel")->click();
    });
    w.action("jpegSetting")->trigger();
    QCOMPARE(title, QString("JPEG Setting"));
    QCOMPARE(shownAtStart, QString("32"));
    QCOMPARE(settings.compressScale, ok ? int16_t(100) : int16_t(32));
    QCOMPARE(settings.alwaysCompress, ok ? uint8_t(1) : uint8_t(0));
    QCOMPARE(settings.fileStyle, ok ? FileStyle::Progressive : FileStyle::Normal);
  }

  void aboutBoxShowsTheVersion() {
    Window w;
    QString title;
    QStringList texts;
    OnNextModal([&](QDialog* dialog) {
      title = dialog->windowTitle();
      for (QLabel* label : dialog->findChildren<QLabel*>()) {
        if (!label->text().isEmpty()) texts << label->text();
      }
      ButtonNamed(dialog, "OK")->click();
    });
    w.action("appAbout")->trigger();
    QCOMPARE(title, QString("Corvid Version"));
    QVERIFY(texts.contains("Corvid32 Version 1.5"));
    QVERIFY(texts.filter("Copyright").size() == 1);
  }
};

static const RegisterTest kFrameTest([] { return std::make_unique<FrameTest>(); });

}  // namespace corvid::test

#include "frame_test.moc"
