// The reading helper that the thumbnailer and the plugin share.
#include <gtest/gtest.h>

#include <QBuffer>
#include <QProcess>

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

// A CAM file whose JPEG section is progressive reads with exactly the
// pixels of the same coefficients coded as one baseline scan (jpegtran
// re-codes without touching them).
TEST(CamRead, ProgressiveJpegSectionReads) {
  const QByteArray sample = desktoptest::Sample("jpeg_section.cam");
  corvid::camread::CamFile found;
  ASSERT_EQ(corvid::camread::Inspect(sample, &found), Status::kOk);
  const QByteArray jpeg = sample.mid(found.jpegOffset, found.jpegLength);
  auto recoded = [&jpeg](const QStringList& args) {
    QProcess jpegtran;
    jpegtran.start(QStringLiteral("jpegtran"), args);
    jpegtran.write(jpeg);
    jpegtran.closeWriteChannel();
    EXPECT_TRUE(jpegtran.waitForFinished(60000));
    EXPECT_EQ(jpegtran.exitCode(), 0);
    // "07 20 MM", one entry: tag 4 and the section length, 10 bytes unread.
    const QByteArray stream = jpegtran.readAllStandardOutput();
    QByteArray cam("\x07\x20MM\x00\x01\x00\x04", 8);
    for (int shift = 24; shift >= 0; shift -= 8) cam.append(static_cast<char>(stream.size() >> shift));
    return cam + QByteArray(10, '\0') + stream;
  };
  QImage progressive, baseline;
  ASSERT_EQ(corvid::camread::ReadPicture(recoded({"-progressive", "-copy", "none"}), QSize(), &progressive), Status::kOk);
  ASSERT_EQ(corvid::camread::ReadPicture(recoded({"-copy", "none"}), QSize(), &baseline), Status::kOk);
  EXPECT_EQ(progressive.size(), QSize(640, 480));
  EXPECT_TRUE(desktoptest::FromImage(progressive) == desktoptest::FromImage(baseline));
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
