#include "ui_test_support.h"

#include <QAction>
#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>
#include <QElapsedTimer>
#include <QFile>
#include <QPointer>
#include <QSettings>
#include <QTest>
#include <QTimer>

#include "bitmap.h"
#include "profile.h"
#include "rk_dib.h"

namespace corvid::test {

Window::Window() {
  CMainFrame::FileDialogs dialogs;
  dialogs.openPath = [](QWidget*, const QString&) {
    QTest::qFail("unexpected Open dialog", __FILE__, __LINE__);
    return QString();
  };
  dialogs.savePath = [](QWidget*, const QString&) {
    QTest::qFail("unexpected Save dialog", __FILE__, __LINE__);
    return QString();
  };
  dialogs.infoPath = [](QWidget*) {
    QTest::qFail("unexpected text Save dialog", __FILE__, __LINE__);
    return QString();
  };
  frame.setFileDialogs(dialogs);
}

QAction* Window::action(const char* name) const {
  return frame.findChild<QAction*>(QLatin1String(name));
}

QString SamplePath(const char* name) {
  return QStringLiteral(RK_SOURCE_DIR "/samples/") + QLatin1String(name);
}

QString WriteJpeg(const QString& path, int width, int height) {
  RecordingUi ui;
  CRKDib image(ui, CRKDib::Profile::Ignore);
  std::unique_ptr<PixelBlock> block =
      PixelBlock::Create(static_cast<uint32_t>(width), static_cast<uint32_t>(height));
  if (!block) return QString();
  for (int y = 0; y < height; ++y) {
    uint8_t* row = block->pixels() + static_cast<size_t>(y) * block->stride();
    for (int x = 0; x < width; ++x) {
      row[3 * x + 0] = static_cast<uint8_t>(x * 255 / width);
      row[3 * x + 1] = static_cast<uint8_t>(y * 255 / height);
      row[3 * x + 2] = 128;
    }
  }
  image.AdoptPicture(std::move(block));
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return QString();
  return image.ExportFile(file, QStringLiteral("picture.jpg")) ? path : QString();
}

bool DropFiles(QWidget* target, const QStringList& paths) {
  QMimeData mime;
  QList<QUrl> urls;
  for (const QString& path : paths) urls << QUrl::fromLocalFile(path);
  mime.setUrls(urls);
  const QPointF at(target->width() / 2.0, target->height() / 2.0);
  QDragEnterEvent enter(at.toPoint(), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(target, &enter);
  if (!enter.isAccepted()) return false;
  QDropEvent drop(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(target, &drop);
  return drop.isAccepted();
}

void ClearProfile() {
  const std::unique_ptr<QSettings> store = OpenProfile();
  store->clear();
  store->sync();
}

void OnNextModal(std::function<void(QDialog*)> act) {
  auto* timer = new QTimer;
  auto* clock = new QElapsedTimer;
  clock->start();
  timer->setInterval(10);
  QObject::connect(timer, &QTimer::timeout, [timer, clock, act] {
    auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
    if (dialog == nullptr && clock->elapsed() < 5000) return;
    timer->stop();
    timer->deleteLater();
    delete clock;
    if (dialog == nullptr) return;
    QPointer<QDialog> guard(dialog);
    act(dialog);
    // A check that failed inside `act` returned before closing the dialog:
    // close it so that the command's exec() returns and the test ends.
    if (guard && guard->isVisible()) guard->reject();
  });
  timer->start();
}

std::vector<TestFactory>& Registry() {
  static std::vector<TestFactory> tests;
  return tests;
}

}  // namespace corvid::test
