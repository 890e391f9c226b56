#include "thumbnail.h"

#include <QFile>
#include <QImageWriter>
#include <QSaveFile>
#include <algorithm>
#include <cmath>

namespace corvid::thumbnailer {

QSize FitWithin(QSize picture, int size) {
  const int longer = std::max(picture.width(), picture.height());
  if (longer <= size || size <= 0) return picture;
  // 64-bit products: 65535 x a large SIZE stays exact.
  auto shrink = [&](int side) {
    const int64_t scaled = (static_cast<int64_t>(side) * size * 2 + longer) / (2 * int64_t{longer});
    return static_cast<int>(std::max<int64_t>(1, scaled));
  };
  return {shrink(picture.width()), shrink(picture.height())};
}

camread::Status MakeThumbnail(const QByteArray& file, int size, QImage* thumbnail) {
  camread::CamFile found;
  if (const camread::Status s = camread::Inspect(file, &found); s != camread::Status::kOk) return s;
  QImage picture;
  if (const camread::Status s = camread::Decode(file, found, found.size, &picture); s != camread::Status::kOk) {
    return s;
  }
  const QSize fitted = FitWithin(picture.size(), size);
  if (fitted != picture.size()) {
    picture = picture.scaled(fitted, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    if (picture.isNull()) return camread::Status::kNoMemory;
  }
  *thumbnail = std::move(picture);
  return camread::Status::kOk;
}

int WriteThumbnail(const QString& input, int size, const QString& output, QString* error) {
  QFile in(input);
  if (!in.open(QIODevice::ReadOnly)) {
    *error = QStringLiteral("%1: %2").arg(input, in.errorString());
    return kExitFailed;
  }
  QByteArray bytes;
  camread::Status status = camread::ReadAll(in, &bytes);
  QImage thumbnail;
  if (status == camread::Status::kOk) status = MakeThumbnail(bytes, size, &thumbnail);
  if (status != camread::Status::kOk) {
    *error = QStringLiteral("%1: %2").arg(input, QLatin1String(camread::StatusText(status)));
    return kExitFailed;
  }

  QSaveFile out(output);
  if (!out.open(QIODevice::WriteOnly)) {
    *error = QStringLiteral("%1: %2").arg(output, out.errorString());
    return kExitFailed;
  }
  QImageWriter writer(&out, "png");
  if (!writer.write(thumbnail)) {
    *error = QStringLiteral("%1: %2").arg(output, writer.errorString());
    out.cancelWriting();
    return kExitFailed;
  }
  if (!out.commit()) {
    *error = QStringLiteral("%1: %2").arg(output, out.errorString());
    return kExitFailed;
  }
  return kExitOk;
}

}  // namespace corvid::thumbnailer
