#include "document.h"

#include <QFile>
#include <QFileInfo>

#include "file_write.h"

namespace corvid {

bool CCorvidDoc::Open(const QString& path) {
  if (!image_.ImportFile(path)) return false;
  path_ = QFileInfo(path).absoluteFilePath();
  return image_.Loaded();
}

bool CCorvidDoc::OpenQuietly(const QString& path) {
  gate_.Hold();
  const bool opened = Open(path);
  gate_.Release(opened);
  return opened;
}

bool CCorvidDoc::Save(const QString& path) { return image_.SaveFile(path); }

QString CCorvidDoc::ProposedSaveName() const {
  const qsizetype dot = path_.lastIndexOf(QLatin1Char('.'));
  return dot >= 0 ? path_.left(dot) : path_;
}

QStringList CCorvidDoc::InfoLines() const {
  QStringList lines;
  int16_t index = 0;
  for (QString line = image_.Exif().NextLine(&index); !line.isEmpty();
       line = image_.Exif().NextLine(&index)) {
    lines << line;
  }
  return lines;
}

QSize ScaledSize(const QSize& size, int zoom) {
  if (zoom == 128) return size;
  return QSize(size.width() * zoom / 128, size.height() * zoom / 128);
}

QByteArray InfoText(const QStringList& lines) {
  QByteArray text;
  for (const QString& line : lines) {
    if (line.isEmpty()) break;
    text += line.toUtf8();
    text += "\r\n";
  }
  return text;
}

QString InfoTextPath(const QString& chosen) {
  for (qsizetype i = chosen.size() - 1; i >= 1; --i) {
    if (chosen[i] == QLatin1Char('.')) return chosen.left(i + 1) + QStringLiteral("txt");
  }
  return chosen + QStringLiteral(".txt");
}

bool SaveInfoText(const QString& chosen, const QStringList& lines) {
  const QByteArray text = InfoText(lines);
  if (text.isEmpty()) return false;
  return ReplaceFileWhole(InfoTextPath(chosen), reinterpret_cast<const uint8_t*>(text.constData()),
                          static_cast<size_t>(text.size()))
             .outcome == ReplaceResult::Outcome::kWritten;
}

}  // namespace corvid
