// The setting dialogs' controls and what Apply stores, the Information
// dialog's list and text file, and the message box of the window.
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>

#include "dialogs.h"
#include "ui_test_support.h"
#include "window_ui.h"

namespace corvid::test {
namespace {

QLabel* ValueLabel(QDialog& dialog) {
  for (QLabel* label : dialog.findChildren<QLabel*>()) {
    bool number = false;
    label->text().toInt(&number);
    if (number) return label;
  }
  return nullptr;
}

}  // namespace

class DialogsTest : public QObject {
  Q_OBJECT

 private slots:
  void jpegLabelFollowsTheSlider_data() {
    QTest::addColumn<int>("position");
    QTest::newRow("lowest") << 0;
    QTest::newRow("middle") << 63;
    QTest::newRow("highest") << 127;
  }
  void jpegLabelFollowsTheSlider() {
    QFETCH(int, position);
    Settings settings;
    CJpegSetDlg dialog(settings);
    auto* slider = dialog.findChild<QSlider*>();
    QCOMPARE(slider->minimum(), 0);
    QCOMPARE(slider->maximum(), 127);
    QLabel* label = ValueLabel(dialog);
    QVERIFY(label != nullptr);
    QCOMPARE(label->text(), QString("32"));
    // Dragging: every step moves the label, not only the release.
    slider->setSliderDown(true);
    slider->setSliderPosition(position);
    QCOMPARE(label->text(), QString::number(position + 1));
    slider->setSliderDown(false);
    dialog.Apply(settings);
    QCOMPARE(settings.compressScale, int16_t(position + 1));
  }

  void jpegScaleOutsideTheSliderIsShownAtItsEnd_data() {
    QTest::addColumn<int>("stored");
    QTest::addColumn<int>("shown");
    QTest::newRow("0 shows as 1") << 0 << 1;
    QTest::newRow("200 shows as 128") << 200 << 128;
  }
  void jpegScaleOutsideTheSliderIsShownAtItsEnd() {
    QFETCH(int, stored);
    QFETCH(int, shown);
    Settings settings;
    settings.compressScale = static_cast<int16_t>(stored);
    CJpegSetDlg dialog(settings);
    QCOMPARE(ValueLabel(dialog)->text(), QString::number(shown));
    dialog.Apply(settings);
    QCOMPARE(settings.compressScale, int16_t(shown));
  }

  void jpegDialogShowsAndStoresEveryStyle_data() {
    QTest::addColumn<int>("style");
    QTest::addColumn<QString>("button");
    QTest::newRow("normal") << 0 << "Normal";
    QTest::newRow("progressive") << 1 << "Progressive";
    QTest::newRow("exif") << 2 << "Exif";
  }
  void jpegDialogShowsAndStoresEveryStyle() {
    QFETCH(int, style);
    QFETCH(QString, button);
    Settings settings;
    settings.fileStyle = static_cast<FileStyle>(style);
    settings.alwaysCompress = 1;
    CJpegSetDlg dialog(settings);
    for (QRadioButton* radio : dialog.findChildren<QRadioButton*>()) {
      QCOMPARE(radio->isChecked(), radio->text() == button);
    }
    QVERIFY(dialog.findChild<QCheckBox*>()->isChecked());
    QCOMPARE(dialog.findChild<QCheckBox*>()->text(), QString("Always Compress Image"));
    Settings after;
    dialog.Apply(after);
    QCOMPARE(after.fileStyle, static_cast<FileStyle>(style));
    QCOMPARE(after.alwaysCompress, uint8_t(1));
  }

  void autoConversionShowsTheSettings() {
    Settings settings;
    settings.storeType = kAutoConversionOn | 2;
    settings.outputPath = QStringLiteral("/pictures/out/");
    CAutoConvDlg dialog(settings);
    QCOMPARE(dialog.windowTitle(), QString("Auto Conversion Setting"));
    QVERIFY(dialog.findChild<QCheckBox*>()->isChecked());
    auto* list = dialog.findChild<QListWidget*>();
    QCOMPARE(list->count(), 3);
    QCOMPARE(list->item(0)->text(), QString("Bitmap(*.BMP)"));
    QCOMPARE(list->item(1)->text(), QString("JPEG(*.JPG)"));
    QCOMPARE(list->item(2)->text(), QString("TIFF(*.TIF)"));
    QCOMPARE(list->currentRow(), 2);
    QCOMPARE(dialog.findChild<QLineEdit*>()->text(), QString("/pictures/out/"));
  }

  void autoConversionStoresTypeFromCheckAndList_data() {
    QTest::addColumn<uint32_t>("before");
    QTest::addColumn<bool>("checked");
    QTest::addColumn<int>("row");
    QTest::addColumn<uint32_t>("after");
    QTest::newRow("on, TIFF") << 0u << true << 2 << 0x12u;
    QTest::newRow("off, JPEG") << 0x10u << false << 1 << 0x01u;
    // The store type is rebuilt from the two controls: other bits go.
    QTest::newRow("other bits dropped") << 0x30u << true << 0 << 0x10u;
    // No row selected (taken away with Ctrl+click): the target stays.
    QTest::newRow("no selection keeps JPEG") << 0x11u << true << -1 << 0x11u;
  }
  void autoConversionStoresTypeFromCheckAndList() {
    QFETCH(uint32_t, before);
    QFETCH(bool, checked);
    QFETCH(int, row);
    QFETCH(uint32_t, after);
    Settings settings;
    settings.storeType = before;
    CAutoConvDlg dialog(settings);
    dialog.findChild<QCheckBox*>()->setChecked(checked);
    auto* list = dialog.findChild<QListWidget*>();
    if (row >= 0) {
      list->setCurrentRow(row);
    } else {
      list->clearSelection();
    }
    dialog.findChild<QLineEdit*>()->setText(QStringLiteral("any text, not checked"));
    dialog.Apply(settings);
    QCOMPARE(settings.storeType, after);
    QCOMPARE(settings.outputPath, QString("any text, not checked"));
  }

  // The output path is a folder: "Browse..." chooses one, starting at the
  // text there, and OK stores it.
  void autoConversionFolderComesFromTheChooser() {
    Settings settings;
    settings.outputPath = QStringLiteral("/typed/out");
    QString startedAt;
    CAutoConvDlg dialog(settings, nullptr, [&](QWidget*, const QString& current) {
      startedAt = current;
      return QStringLiteral("/chosen/folder");
    });
    QPushButton* browse = nullptr;
    for (QPushButton* button : dialog.findChildren<QPushButton*>()) {
      if (button->text() == QLatin1String("Browse...")) browse = button;
    }
    QVERIFY(browse != nullptr);
    browse->click();
    QCOMPARE(startedAt, QString("/typed/out"));
    QCOMPARE(dialog.findChild<QLineEdit*>()->text(), QString("/chosen/folder"));
    dialog.Apply(settings);
    QCOMPARE(settings.outputPath, QString("/chosen/folder"));
  }

  void infoDialogListsTheLinesInOrder() {
    const QStringList lines = {"Manufacture:QUILLBANK", "Model:Pictor", "Flash:No"};
    CInfoDlg dialog(lines, {});
    QCOMPARE(dialog.windowTitle(), QString("Information"));
    QCOMPARE(dialog.Lines(), lines);
    QVERIFY(!dialog.findChild<QListWidget*>()->isSortingEnabled());
  }

  void infoDialogSavesTheLinesAsText() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString folder = dir.path();
    QVERIFY(!folder.contains(QLatin1Char('.')));
    int asked = 0;
    CInfoDlg dialog({"Model:Pictor", "Flash:No"}, [&](QWidget*) {
      ++asked;
      return folder + QStringLiteral("/info");
    });
    QPushButton* save = nullptr;
    for (QPushButton* button : dialog.findChildren<QPushButton*>()) {
      if (button->text() == QLatin1String("Save...")) save = button;
    }
    QVERIFY(save != nullptr);
    save->click();
    QCOMPARE(asked, 1);
    QFile file(folder + QStringLiteral("/info.txt"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("Model:Pictor\r\nFlash:No\r\n"));
  }

  void infoDialogWithoutLinesAsksNothing() {
    int asked = 0;
    CInfoDlg dialog({}, [&](QWidget*) {
      ++asked;
      return QString();
    });
    for (QPushButton* button : dialog.findChildren<QPushButton*>()) {
      if (button->text() == QLatin1String("Save...")) button->click();
    }
    QCOMPARE(asked, 0);
  }

  void messagesComeInABoxWithOnlyOk() {
    WindowUi ui;
    QString text;
    QList<QAbstractButton*> buttons;
    QMessageBox::StandardButtons standard;
    OnNextModal([&](QDialog* dialog) {
      auto* box = qobject_cast<QMessageBox*>(dialog);
      QVERIFY(box != nullptr);
      text = box->text();
      buttons = box->buttons();
      standard = box->standardButtons();
      box->accept();
    });
    ui.Busy(true);
    ui.Report(Message::FormatError);
    // While the box was up the normal cursor showed; the wait cursor is back.
    QVERIFY(QApplication::overrideCursor() != nullptr);
    ui.Busy(false);
    QCOMPARE(text, QString("Format Error"));
    QCOMPARE(buttons.size(), 1);
    QCOMPARE(standard, QMessageBox::StandardButtons(QMessageBox::Ok));
  }

  void busyIndicatorNests() {
    WindowUi ui;
    ui.Busy(true);
    ui.Busy(true);
    QCOMPARE(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    ui.Busy(false);
    QVERIFY(QApplication::overrideCursor() != nullptr);
    ui.Busy(false);
    QVERIFY(QApplication::overrideCursor() == nullptr);
    // An unmatched end does not take away someone else's cursor.
    QApplication::setOverrideCursor(Qt::CrossCursor);
    ui.Busy(false);
    QCOMPARE(QApplication::overrideCursor()->shape(), Qt::CrossCursor);
    QApplication::restoreOverrideCursor();
  }
};

static const RegisterTest kDialogsTest([] { return std::make_unique<DialogsTest>(); });

}  // namespace corvid::test

#include "dialogs_test.moc"
