#include "auto_convert.h"

#include <QFile>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace corvid {
namespace {

enum class Attempt { Written, Exists, Invalid, Failed, WriteFailed };

Attempt TryCreate(const QString& path, const uint8_t* bytes, size_t count) {
  const QByteArray native = QFile::encodeName(path);
  const int fd = ::open(native.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) {
    switch (errno) {
      case EEXIST: return Attempt::Exists;
      case ENAMETOOLONG:
      case EINVAL:
      case EILSEQ: return Attempt::Invalid;
      default: return Attempt::Failed;
    }
  }
  size_t done = 0;
  bool ok = true;
  while (done < count) {
    const ssize_t n = ::write(fd, bytes + done, count - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      ok = false;
      break;
    }
    done += static_cast<size_t>(n);
  }
  if (::close(fd) != 0) ok = false;
  if (!ok) {
    ::unlink(native.constData());
    return Attempt::WriteFailed;
  }
  return Attempt::Written;
}

}  // namespace

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
  if (!outputPath.isEmpty()) return outputPath;
  return sourcePath.left(sourcePath.lastIndexOf(QLatin1Char('/')) + 1);
}

QString CollisionPrefix(int counter) {
  return QStringLiteral("~%1_").arg(counter, 3, 10, QLatin1Char('0'));
}

CreateResult CreateNewFile(const QString& prefix, const QString& name, const uint8_t* bytes,
                           size_t count) {
  CreateResult result;
  QString path = prefix + name;
  for (int counter = 0;; ++counter) {
    if (counter > 0) path = prefix + CollisionPrefix(counter) + name;
    switch (TryCreate(path, bytes, count)) {
      case Attempt::Written:
        result.ok = true;
        result.path = path;
        return result;
      case Attempt::Exists:
        if (counter == kMaxCollisionCounter) {
          result.failure = Message::FileNameOverflow;
          return result;
        }
        continue;
      case Attempt::Invalid: result.failure = Message::InvalidFileName; return result;
      case Attempt::WriteFailed: result.failure = Message::WriteError; return result;
      case Attempt::Failed:
      default: result.failure = Message::CantOpenFile; return result;
    }
  }
}

}  // namespace corvid
