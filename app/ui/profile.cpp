#include "profile.h"

#include <QFileInfo>
#include <QSettings>

#include "settings.h"

namespace corvid {
namespace {

const QString kRecentGroup = QStringLiteral("Recent File List");
const QString kWindowGroup = QStringLiteral("Window");

QString RecentKey(int index) { return QStringLiteral("File%1").arg(index + 1); }

}  // namespace

std::unique_ptr<QSettings> OpenProfile() {
  return std::make_unique<QSettings>(ProfileFormat(), QSettings::UserScope,
                                     QStringLiteral("Quillbank"), QStringLiteral("Corvid"));
}

void RecentFileList::Add(const QString& path) {
  const QString absolute = QFileInfo(path).absoluteFilePath();
  paths_.removeAll(absolute);
  paths_.prepend(absolute);
  while (paths_.size() > kSize) paths_.removeLast();
}

void RecentFileList::Remove(int index) {
  if (index >= 0 && index < paths_.size()) paths_.removeAt(index);
}

void RecentFileList::Load(QSettings& store) {
  paths_.clear();
  store.beginGroup(kRecentGroup);
  for (int i = 0; i < kSize; ++i) {
    const QString path = store.value(RecentKey(i)).toString();
    // A hand-edited store may hold gaps or the same file twice.
    if (!path.isEmpty() && !paths_.contains(path)) paths_.append(path);
  }
  store.endGroup();
}

void RecentFileList::Store(QSettings& store) const {
  store.beginGroup(kRecentGroup);
  for (int i = 0; i < kSize; ++i) {
    if (i < paths_.size()) {
      store.setValue(RecentKey(i), paths_[i]);
    } else {
      store.remove(RecentKey(i));
    }
  }
  store.endGroup();
  store.sync();
}

WindowState LoadWindowState(QSettings& store) {
  WindowState state;
  store.beginGroup(kWindowGroup);
  state.geometry = store.value(QStringLiteral("Geometry")).toByteArray();
  state.docks = store.value(QStringLiteral("Docks")).toByteArray();
  store.endGroup();
  return state;
}

void StoreWindowState(QSettings& store, const WindowState& state) {
  store.beginGroup(kWindowGroup);
  store.setValue(QStringLiteral("Geometry"), state.geometry);
  store.setValue(QStringLiteral("Docks"), state.docks);
  store.endGroup();
  store.sync();
}

}  // namespace corvid
