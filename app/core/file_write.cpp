#include "file_write.h"

#include <QFile>
#include <QFileDevice>
#include <QRandomGenerator>
#include <QSaveFile>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace corvid {
namespace {

// Hidden and of fixed length, so that a temporary name is never too long
// where the real one is not: ".corvid-" + 16 hex digits + ".part".
QByteArray TemporaryName(const QString& folder) {
  const quint64 token = QRandomGenerator::global()->generate64();
  QString name = QStringLiteral(".corvid-%1.part").arg(token, 16, 16, QLatin1Char('0'));
  if (!folder.isEmpty()) name.prepend(folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/'));
  return QFile::encodeName(name);
}

bool WriteFd(int fd, const uint8_t* bytes, size_t count) {
  size_t done = 0;
  while (done < count) {
    const ssize_t n = ::write(fd, bytes + done, count - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

bool InvalidNameError(int error) { return error == ENAMETOOLONG || error == EINVAL || error == EILSEQ; }

}  // namespace

bool WriteAll(QIODevice& device, const uint8_t* bytes, size_t count) {
  const qint64 size = static_cast<qint64>(count);
  if (device.write(reinterpret_cast<const char*>(bytes), size) != size) return false;
  if (auto* file = qobject_cast<QFileDevice*>(&device)) return file->flush();
  return true;
}

ReplaceResult ReplaceFileWhole(const QString& path, const uint8_t* bytes, size_t count) {
  ReplaceResult result;
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly)) {
    result.outcome = ReplaceResult::Outcome::kCannotCreate;
    result.reason = file.errorString();
    return result;
  }
  // commit() flushes, syncs and renames; until then the target is untouched.
  if (!WriteAll(file, bytes, count) || !file.commit()) {
    result.outcome = ReplaceResult::Outcome::kWriteFailed;
    result.reason = file.errorString();
    file.cancelWriting();
  }
  return result;
}

PendingFile::PendingFile(const QString& folder, const uint8_t* bytes, size_t count) {
  int fd = -1;
  // A name taken by chance (2^-64 a try) is just drawn again.
  for (int attempt = 0; attempt < 8 && fd < 0; ++attempt) {
    temp_ = TemporaryName(folder);
    fd = ::open(temp_.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 && errno != EEXIST) break;
  }
  if (fd < 0) {
    error_ = errno;
    temp_.clear();
    return;
  }
  const bool written = WriteFd(fd, bytes, count) && ::fsync(fd) == 0;
  if (!written) error_ = errno;
  if (::close(fd) != 0 && written) error_ = errno;
  ok_ = written && error_ == 0;
  writeFailed_ = !ok_;
}

PendingFile::~PendingFile() {
  if (!temp_.isEmpty()) ::unlink(temp_.constData());
}

PendingFile::Naming PendingFile::NameAs(const QString& path) {
  if (!ok_) return Naming::kFailed;
  const QByteArray target = QFile::encodeName(path);
  int error = 0;
  if (::renameat2(AT_FDCWD, temp_.constData(), AT_FDCWD, target.constData(), RENAME_NOREPLACE) == 0) {
    temp_.clear();
    return Naming::kNamed;
  }
  error = errno;
  if (error == EINVAL || error == ENOSYS || error == ENOTSUP) {
    // The file system has no such rename (EINVAL is also its answer to an
    // invalid name, which the link below gives again).
    if (::link(temp_.constData(), target.constData()) == 0) {
      ::unlink(temp_.constData());
      temp_.clear();
      return Naming::kNamed;
    }
    error = errno;
    if (error == EPERM || error == ENOTSUP || error == EMLINK) {
      // Nor hard links: an empty file of our own holds the name, then the
      // content replaces it.
      const int fd = ::open(target.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
      error = fd < 0 ? errno : 0;
      if (fd >= 0) {
        ::close(fd);
        if (::rename(temp_.constData(), target.constData()) == 0) {
          temp_.clear();
          return Naming::kNamed;
        }
        error = errno;
        ::unlink(target.constData());
      }
    }
  }
  error_ = error;
  if (error == EEXIST) return Naming::kExists;
  return InvalidNameError(error) ? Naming::kInvalidName : Naming::kFailed;
}

}  // namespace corvid
