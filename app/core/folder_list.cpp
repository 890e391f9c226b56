#include "folder_list.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>

#include "rastkit_bridge.h"
#include "rk_dib.h"

namespace corvid {
namespace {

// The coarsest step of a folder's modification time: FAT's 2 seconds.
constexpr qint64 kFolderTickMs = 2000;

// ASCII digits only: a run of Arabic-Indic digits is not a camera's counter.
bool IsDigit(QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); }

qsizetype DigitRunEnd(const QString& s, qsizetype i) {
  while (i < s.size() && IsDigit(s[i])) ++i;
  return i;
}

// The first digit of a run that is not a leading zero (the last digit when
// the run is all zeros, so that "000" keeps one digit: value 0).
qsizetype SignificantStart(const QString& s, qsizetype begin, qsizetype end) {
  while (begin < end - 1 && s[begin] == QLatin1Char('0')) ++begin;
  return begin;
}

bool StartsWith(const QByteArray& head, std::initializer_list<uint8_t> bytes) {
  if (head.size() < static_cast<qsizetype>(bytes.size())) return false;
  qsizetype i = 0;
  for (const uint8_t b : bytes) {
    if (static_cast<uint8_t>(head[i++]) != b) return false;
  }
  return true;
}

// The position of `path` in `files`, or, when it is not there, the position
// its name would take as -(index + 1): in a folder's list (sorted by name
// in natural order) where the name sorts, in an explicit list the start.
qsizetype Locate(const QStringList& files, const QString& path, bool sorted) {
  const qsizetype at = files.indexOf(path);
  if (at >= 0 || !sorted) return at >= 0 ? at : -1;
  const QString name = QFileInfo(path).fileName();
  const auto it = std::lower_bound(files.begin(), files.end(), name,
                                   [](const QString& file, const QString& n) {
                                     return NaturalCompare(QFileInfo(file).fileName(), n) < 0;
                                   });
  return -(static_cast<qsizetype>(it - files.begin()) + 1);
}

}  // namespace

int NaturalCompare(const QString& a, const QString& b) {
  // A difference of case or of leading zeros decides only when nothing
  // else does; the first one met is kept.
  int tie = 0;
  qsizetype i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    if (IsDigit(a[i]) && IsDigit(b[j])) {
      const qsizetype endA = DigitRunEnd(a, i), endB = DigitRunEnd(b, j);
      const qsizetype sigA = SignificantStart(a, i, endA), sigB = SignificantStart(b, j, endB);
      // Values of any length: more significant digits is the larger value
      // ("100" > "99"), equal lengths compare digit by digit.
      const qsizetype lengthA = endA - sigA, lengthB = endB - sigB;
      if (lengthA != lengthB) return lengthA < lengthB ? -1 : 1;
      for (qsizetype k = 0; k < lengthA; ++k) {
        if (a[sigA + k] != b[sigB + k]) return a[sigA + k] < b[sigB + k] ? -1 : 1;
      }
      const qsizetype zerosA = sigA - i, zerosB = sigB - j;
      if (tie == 0 && zerosA != zerosB) tie = zerosA < zerosB ? -1 : 1;
      i = endA;
      j = endB;
      continue;
    }
    const QChar foldedA = a[i].toCaseFolded(), foldedB = b[j].toCaseFolded();
    if (foldedA != foldedB) return foldedA < foldedB ? -1 : 1;
    // Lower case first: 'a' (0x61) > 'A' (0x41) in code points.
    if (tie == 0 && a[i] != b[j]) tie = a[i] > b[j] ? -1 : 1;
    ++i;
    ++j;
  }
  if (i < a.size() || j < b.size()) return i < a.size() ? 1 : -1;  // a prefix first
  return tie;
}

bool StartsLikePicture(const QString& path) {
  QFile file(path);
  if (QFileInfo(path).isDir() || !file.open(QIODevice::ReadOnly)) return false;
  const qint64 size = file.size();
  if (size <= 0 || size > kMaxFileBytes) return false;
  const QByteArray head = file.read(std::min(size, kPictureHeadBytes));
  if (head.isEmpty()) return false;
  const auto* data = reinterpret_cast<const uint8_t*>(head.constData());
  const auto headSize = static_cast<uint32_t>(head.size());

  // CAM: 3 and 4 name the picture found. A directory whose sections reach
  // past the head reads as cut short (RK_ERR_UNSUPPORTED); only a head that
  // is the whole file makes that final.
  const int16_t cam = lib::CheckCamFile(data, headSize, nullptr, nullptr);
  if (cam == 3 || cam == 4) return true;
  if (cam == RK_ERR_UNSUPPORTED && head.size() < size) return true;
  // JPEG: SOI and the next marker's 0xFF.
  if (StartsWith(head, {0xFF, 0xD8, 0xFF})) return true;
  // TIFF: "II" 42 little-endian, "MM" 42 big-endian.
  return StartsWith(head, {'I', 'I', 42, 0}) || StartsWith(head, {'M', 'M', 0, 42});
}

void BrowseList::SetFolderOf(const QString& path) {
  current_ = path;
  folder_ = QFileInfo(path).absolutePath();
  files_.clear();
  listed_ = false;
}

void BrowseList::SetFiles(const QStringList& paths) {
  files_.clear();
  for (const QString& path : paths) files_ << QFileInfo(path).absoluteFilePath();
  current_ = files_.value(0);
  folder_.clear();
  listed_ = true;
}

void BrowseList::Refresh() {
  if (folder_.isEmpty()) return;
  // The listing stands while the folder's time stays what it was and lies
  // clearly before the listing. Folder times move in ticks (4 ms on a
  // kernel clock of 250 Hz, 2 s on a FAT memory card): a file added within
  // the tick of the listing leaves the time unchanged, so a folder changed
  // that recently is listed again at every step.
  const QDateTime modified = QFileInfo(folder_).lastModified();
  if (listed_ && modified == listedModified_ && modified.msecsTo(listedAt_) > kFolderTickMs) return;
  listedAt_ = QDateTime::currentDateTime();
  listedModified_ = modified;
  QStringList names = QDir(folder_).entryList(QDir::Files, QDir::NoSort);
  std::sort(names.begin(), names.end(),
            [](const QString& x, const QString& y) { return NaturalCompare(x, y) < 0; });
  const QDir dir(folder_);
  files_.clear();
  files_.reserve(names.size());
  for (const QString& name : names) files_ << dir.absoluteFilePath(name);
  listed_ = true;
}

QString BrowseList::Step(int direction, const OpenFunction& open) {
  if (current_.isEmpty() || direction == 0) return QString();
  Refresh();
  const qsizetype n = files_.size();
  if (n == 0) return QString();
  direction = direction > 0 ? 1 : -1;
  // From a current file in the list, the others follow it: n - 1 of them.
  // From a name no longer there, every file is a candidate, the next one
  // being the file that took its place (index `slot`).
  const qsizetype at = Locate(files_, current_, !folder_.isEmpty());
  qsizetype first, count;
  if (at >= 0) {
    first = at + direction;
    count = n - 1;
  } else {
    const qsizetype slot = -at - 1;
    first = direction > 0 ? slot : slot - 1;
    count = n;
  }
  for (qsizetype k = 0; k < count; ++k) {
    const qsizetype index = ((first + direction * k) % n + n) % n;
    const QString& candidate = files_[index];
    if (!StartsLikePicture(candidate)) continue;
    if (open(candidate)) {
      current_ = candidate;
      return current_;
    }
  }
  return QString();
}

}  // namespace corvid
