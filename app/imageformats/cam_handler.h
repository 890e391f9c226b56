// The Qt image-format plugin for CAM files: with it installed under Qt's
// plugins/imageformats/, every Qt program (a QImageReader, the viewers
// built on it) opens CAM camera pictures.
//
// Recognition is by content (the CAM file header), so a CAM file opens
// whatever its name. A CAM-coded picture reads at 480x360 by default and
// at 480x240 or 320x240 through QImageReader::setScaledSize, each decoded
// directly at that size; any other scaled size is decoded at 480x360 and
// smooth-scaled. A CAM file that holds an embedded JPEG picture reads at
// the JPEG's own size.
#pragma once

#include <QByteArray>
#include <QImageIOHandler>
#include <QImageIOPlugin>
#include <QSize>

#include "cam_image.h"

namespace corvid::imageformats {

class CamImageHandler : public QImageIOHandler {
 public:
  bool canRead() const override;
  bool read(QImage* image) override;
  QVariant option(ImageOption option) const override;
  void setOption(ImageOption option, const QVariant& value) override;
  bool supportsOption(ImageOption option) const override;

  // True when the device's next bytes start like a CAM file with a picture
  // (peeked: the device position does not move).
  static bool Recognises(QIODevice* device);

 private:
  // Reads the whole device once and inspects it; later calls reuse it.
  bool Load() const;

  enum class State { kUnread, kReady, kFailed };
  mutable State state_ = State::kUnread;
  mutable QByteArray file_;
  mutable camread::CamFile found_;
  QSize scaledSize_;
};

class CamImagePlugin : public QImageIOPlugin {
  Q_OBJECT
  Q_PLUGIN_METADATA(IID QImageIOHandlerFactoryInterface_iid FILE "cam.json")

 public:
  Capabilities capabilities(QIODevice* device, const QByteArray& format) const override;
  QImageIOHandler* create(QIODevice* device, const QByteArray& format) const override;
};

}  // namespace corvid::imageformats
