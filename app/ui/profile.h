// What the window keeps in the profile store beside the core's settings:
// the recent-file list (group "Recent File List", keys "File1".."File4",
// newest first) and the window's geometry (group "Window"). The store is
// the core's: QSettings("Quillbank", "Corvid") in its format.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <memory>

class QSettings;

namespace corvid {

std::unique_ptr<QSettings> OpenProfile();

// The four most recently opened files, newest first, each path once.
class RecentFileList {
 public:
  static constexpr int kSize = 4;

  // Puts `path` (made absolute) first; an entry already in the list moves
  // up, the oldest falls off when a fifth comes in.
  void Add(const QString& path);
  void Remove(int index);
  const QStringList& Paths() const { return paths_; }
  bool IsEmpty() const { return paths_.isEmpty(); }

  void Load(QSettings& store);
  void Store(QSettings& store) const;

 private:
  QStringList paths_;
};

struct WindowState {
  QByteArray geometry;  // QWidget::saveGeometry
  QByteArray docks;     // QMainWindow::saveState (the toolbar's place)
};
WindowState LoadWindowState(QSettings& store);
void StoreWindowState(QSettings& store, const WindowState& state);

}  // namespace corvid
