// The reading helper that the thumbnailer and the plugin share.
#include <gtest/gtest.h>

#include <QBuffer>

#include "cam_image.h"
#include "desktop_support.h"

namespace {

using corvid::camread::Status;

// Every prefix of a CAM-coded and of a JPEG-kind file is refused cleanly
// (under the sanitizers: nothing is read past the prefix); the whole file
// reads.
TEST(CamRead, EveryPrefixIsRefusedAndTheWholeFileReads) {
  for (const char* sample : {"photo_scene.cam", "jpeg_section.cam"}) {
    const QByteArray file = desktoptest::Sample(sample);
    QImage picture;
    for (qsizetype n = 0; n < file.size(); ++n) {
      // A prefix is copied so that its end is the end of an allocation.
      const QByteArray prefix(file.constData(), n);
      const Status s = corvid::camread::ReadPicture(prefix, QSize(), &picture);
      ASSERT_NE(s, Status::kOk) << sample << " cut at " << n;
    }
    EXPECT_TRUE(picture.isNull());
    EXPECT_EQ(corvid::camread::ReadPicture(file, QSize(), &picture), Status::kOk) << sample;
  }
}

TEST(CamRead, InspectTellsTheKindAndWhyAFileIsRefused) {
  struct Case {
    QByteArray file;
    Status status;
  };
  const Case cases[] = {
      {desktoptest::Sample("photo_scene.cam"), Status::kOk},
      {desktoptest::Sample("jpeg_section.cam"), Status::kOk},
      {QByteArray("GIF89a"), Status::kNotCam},
      {QByteArray(), Status::kNotCam},
      {QByteArray("\x07\x20II\x00\x00", 6), Status::kNoPicture},
      {QByteArray("\x07\x20II\x01\x00", 6), Status::kTruncated},  // one entry, no directory
  };
  for (const Case& c : cases) {
    corvid::camread::CamFile found;
    EXPECT_EQ(corvid::camread::Inspect(c.file, &found), c.status) << c.file.left(8).toHex().toStdString();
  }
  corvid::camread::CamFile found;
  ASSERT_EQ(corvid::camread::Inspect(desktoptest::Sample("jpeg_section.cam"), &found), Status::kOk);
  EXPECT_EQ(found.kind, corvid::camread::Kind::kJpeg);
  EXPECT_TRUE(found.size == (corvid::camread::Size{640, 480}));
  EXPECT_EQ(desktoptest::Sample("jpeg_section.cam").mid(found.jpegOffset, 2), QByteArray("\xFF\xD8"));
}

TEST(CamRead, ReadAllStopsAtTheLimit) {
  // A sequential device that never ends stands for a hostile pipe.
  class Endless : public QIODevice {
   public:
    bool isSequential() const override { return true; }

   protected:
    qint64 readData(char* data, qint64 max) override {
      std::fill(data, data + max, '\x07');
      return max;
    }
    qint64 writeData(const char*, qint64) override { return -1; }
  } endless;
  endless.open(QIODevice::ReadOnly);
  QByteArray bytes;
  EXPECT_EQ(corvid::camread::ReadAll(endless, &bytes), Status::kTooLarge);
  EXPECT_TRUE(bytes.isEmpty());
}

}  // namespace
