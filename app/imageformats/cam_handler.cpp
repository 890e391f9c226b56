#include "cam_handler.h"

#include <QImage>
#include <QVariant>

namespace corvid::imageformats {
namespace {

const QByteArray kFormat = QByteArrayLiteral("cam");

// Enough of the file for the header and a directory of 4000 entries: a
// directory that ends inside these bytes must name a picture; a longer one
// is judged on the whole file when it is read.
constexpr qint64 kPeekBytes = 64 * 1024;

}  // namespace

bool CamImageHandler::Recognises(QIODevice* device) {
  if (device == nullptr || !device->isReadable()) return false;
  return camread::LooksLikeCam(device->peek(kPeekBytes));
}

bool CamImageHandler::canRead() const {
  if (state_ == State::kReady) return true;
  if (state_ == State::kFailed || !Recognises(device())) return false;
  setFormat(kFormat);
  return true;
}

bool CamImageHandler::Load() const {
  if (state_ != State::kUnread) return state_ == State::kReady;
  state_ = State::kFailed;
  if (device() == nullptr) return false;
  if (camread::ReadAll(*device(), &file_) != camread::Status::kOk) return false;
  if (camread::Inspect(file_, &found_) != camread::Status::kOk) return false;
  state_ = State::kReady;
  return true;
}

bool CamImageHandler::read(QImage* image) {
  if (!Load()) return false;
  QImage picture;
  if (camread::ReadPicture(file_, scaledSize_, &picture) != camread::Status::kOk) return false;
  *image = std::move(picture);
  return true;
}

QVariant CamImageHandler::option(ImageOption option) const {
  switch (option) {
    case Size: return Load() ? QVariant(QSize(found_.size.width, found_.size.height)) : QVariant();
    case ScaledSize: return scaledSize_;
    case ImageFormat: return QImage::Format_RGB32;
    default: return {};
  }
}

void CamImageHandler::setOption(ImageOption option, const QVariant& value) {
  if (option == ScaledSize) scaledSize_ = value.toSize();
}

bool CamImageHandler::supportsOption(ImageOption option) const {
  return option == Size || option == ScaledSize || option == ImageFormat;
}

QImageIOPlugin::Capabilities CamImagePlugin::capabilities(QIODevice* device, const QByteArray& format) const {
  if (format == kFormat) return CanRead;
  if (!format.isEmpty()) return {};
  if (device == nullptr || !device->isOpen()) return {};
  return CamImageHandler::Recognises(device) ? Capabilities(CanRead) : Capabilities();
}

QImageIOHandler* CamImagePlugin::create(QIODevice* device, const QByteArray& format) const {
  auto* handler = new CamImageHandler;
  handler->setDevice(device);
  handler->setFormat(format.isEmpty() ? kFormat : format);
  return handler;
}

}  // namespace corvid::imageformats
