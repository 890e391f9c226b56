#include "auto_convert.h"

#include <QtGlobal>

#include "file_write.h"

namespace corvid {

QString TargetExtension(Target target) {
  switch (target) {
    case Target::Jpeg: return QStringLiteral("jpg");
    case Target::Tiff: return QStringLiteral("tif");
    case Target::Bmp:
    default: return QStringLiteral("bmp");
  }
}

QString OutputFileName(const QString& sourcePath, Target target) {
  const QString name = sourcePath.mid(sourcePath.lastIndexOf(QLatin1Char('/')) + 1);
  const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
  if (dot < 0) return name + QLatin1Char('.') + TargetExtension(target);
  return name.left(dot + 1) + TargetExtension(target);
}

QString OutputPrefix(const QString& sourcePath, const QString& outputPath) {
  if (!outputPath.isEmpty()) {
    return outputPath.endsWith(QLatin1Char('/')) ? outputPath : outputPath + QLatin1Char('/');
  }
  return sourcePath.left(sourcePath.lastIndexOf(QLatin1Char('/')) + 1);
}

QString CollisionPrefix(int counter) {
  return QStringLiteral("~%1_").arg(counter, 3, 10, QLatin1Char('0'));
}

CreateResult CreateNewFile(const QString& prefix, const QString& name, const uint8_t* bytes,
                           size_t count) {
  CreateResult result;
  result.path = prefix + name;
  auto systemReason = [&](int error) { return error != 0 ? qt_error_string(error) : QString(); };
  PendingFile file(prefix, bytes, count);
  if (!file.ok()) {
    result.failure = file.writeFailed() ? Message::WriteError : Message::CantOpenFile;
    result.reason = systemReason(file.error());
    return result;
  }
  for (int counter = 0;; ++counter) {
    const QString path = counter == 0 ? prefix + name : prefix + CollisionPrefix(counter) + name;
    switch (file.NameAs(path)) {
      case PendingFile::Naming::kNamed:
        result.ok = true;
        result.path = path;
        return result;
      case PendingFile::Naming::kExists:
        if (counter == kMaxCollisionCounter) {
          result.failure = Message::FileNameOverflow;
          return result;
        }
        continue;
      case PendingFile::Naming::kInvalidName:
        result.failure = Message::InvalidFileName;
        result.reason = systemReason(file.error());
        return result;
      case PendingFile::Naming::kFailed:
      default:
        result.failure = Message::CantOpenFile;
        result.reason = systemReason(file.error());
        return result;
    }
  }
}

}  // namespace corvid
