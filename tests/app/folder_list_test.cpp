// Browsing a folder: natural name order, the cheap look at a file's head,
// stepping past what does not open, and the quiet open behind it.
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "app_support.h"
#include "document.h"
#include "folder_list.h"

using corvid::BrowseList;
using corvid::NaturalCompare;

namespace {

struct OrderCase {
  const char* before;
  const char* after;
};
class NaturalOrder : public ::testing::TestWithParam<OrderCase> {};
TEST_P(NaturalOrder, SortsLikeAFileManager) {
  const QString a = QString::fromUtf8(GetParam().before), b = QString::fromUtf8(GetParam().after);
  EXPECT_LT(NaturalCompare(a, b), 0);
  EXPECT_GT(NaturalCompare(b, a), 0);
  EXPECT_EQ(NaturalCompare(a, a), 0);
}
INSTANTIATE_TEST_SUITE_P(
    Pairs, NaturalOrder,
    ::testing::Values(OrderCase{"IMG2.CAM", "IMG10.CAM"}, OrderCase{"x99", "x100"},
                      OrderCase{"photo 9b", "photo 10a"},
                      // Values longer than any integer type.
                      OrderCase{"a123456789012345678901", "a123456789012345678902"},
                      OrderCase{"a99999999999999999999", "a100000000000000000000"},
                      // Case is ignored until nothing else differs...
                      OrderCase{"apple", "Banana"}, OrderCase{"IMG1b", "img2a"},
                      // ...then lower case first, and fewer leading zeros.
                      OrderCase{"img7", "Img7"}, OrderCase{"img7", "img07"}, OrderCase{"a0", "a00"},
                      OrderCase{"pic01a", "pic1x"},  // the a/x difference outranks the zeros
                      OrderCase{"pic", "pic1"}, OrderCase{"pic.cam", "pic1.cam"},
                      OrderCase{"\xC3\xA9t\xC3\xA9 2", "\xC3\x89T\xC3\x89 10"}));

void AppendU16(QByteArray& out, uint32_t v) {
  out += static_cast<char>(v >> 8);
  out += static_cast<char>(v);
}

// A big-endian CAM file whose 80 000-byte thumbnail section puts its
// picture (the fixture's) past the head that StartsLikePicture reads.
QByteArray CamWithLargeThumbnail() {
  const QByteArray scene = apptest::ReadBytes(apptest::Fixture("cam/scene_MM_thumb.cam"));
  uint32_t length = 0, offset = 0;
  if (corvid::lib::CheckCamFile(reinterpret_cast<const uint8_t*>(scene.constData()),
                                static_cast<uint32_t>(scene.size()), &length, &offset) != 3) {
    return QByteArray();
  }
  constexpr uint32_t kThumbnailBytes = 80000;
  QByteArray out("\x07\x20MM", 4);
  AppendU16(out, 2);
  for (const auto& [tag, bytes] : {std::pair{2u, kThumbnailBytes}, std::pair{3u, length}}) {
    AppendU16(out, tag);
    AppendU16(out, bytes >> 16);
    AppendU16(out, bytes & 0xFFFF);
    out += QByteArray(10, '\0');
  }
  out += QByteArray(kThumbnailBytes, '\xAB');
  return out + scene.mid(offset, length);
}

class FolderTest : public ::testing::Test {
 protected:
  QString Write(const QString& name, const QByteArray& bytes) {
    const QString path = dir_.filePath(name);
    apptest::WriteBytes(path, bytes);
    return path;
  }
  QString Copy(const char* fixture, const QString& name) {
    return Write(name, apptest::ReadBytes(apptest::Fixture(fixture)));
  }
  QString Jpeg(const QString& name) {
    return Write(name, apptest::TurboEncode(apptest::Gradient(32, 24)));
  }
  QTemporaryDir dir_;
};

TEST_F(FolderTest, HeadDecidesWhatIsOffered) {
  const QByteArray cam = apptest::ReadBytes(apptest::Fixture("cam/scene_MM_thumb.cam"));
  const QByteArray bigCam = CamWithLargeThumbnail();
  ASSERT_FALSE(bigCam.isEmpty());
  const struct {
    QString path;
    bool offered;
  } cases[] = {
      {Copy("cam/scene_MM_thumb.cam", "no-extension"), true},
      {Copy("cam/pattern_MM_jpegsection.cam", "jpeg-section.cam"), true},
      // Its head points past itself: cut short as a whole file, a picture's
      // start when the file goes on.
      {Write("large-thumbnail.cam", bigCam), true},
      {Write("head-only.cam", bigCam.left(static_cast<qsizetype>(corvid::kPictureHeadBytes))), false},
      {Jpeg("photo.txt"), true},
      {Write("tiff.tif", QByteArray("II*\0\x08\0\0\0", 8) + QByteArray(64, '\0')), true},
      {Write("tiff-mm.tif", QByteArray("MM\0*\0\0\0\x08", 8) + QByteArray(64, '\0')), true},
      // A CAM header whose directory is cut short within the whole file.
      {Write("cut.cam", cam.left(10)), false},
      {Write("notes.txt", "not a picture\n"), false},
      {Write("soi-only.jpg", QByteArray("\xFF\xD8", 2)), false},
      {Write("empty.cam", QByteArray()), false},
      {dir_.path(), false},
      {dir_.filePath("missing.cam"), false},
  };
  for (const auto& c : cases) EXPECT_EQ(corvid::StartsLikePicture(c.path), c.offered) << qPrintable(c.path);
  // And it is a whole CAM file that opens.
  apptest::CollectingUi ui;
  corvid::CCorvidDoc doc(ui, corvid::CRKDib::Profile::Ignore);
  EXPECT_TRUE(doc.Open(dir_.filePath("large-thumbnail.cam")));
}

// Next and previous through a folder of mixed files: the order, the files
// never offered (not pictures), those offered that fail (passed over), and
// the way round at both ends.
TEST_F(FolderTest, StepsInNaturalOrderPastWhatDoesNotOpen) {
  Copy("cam/scene_MM_thumb.cam", "pic10.cam");
  Copy("cam/scene_MM_thumb.cam", "pic2.cam");
  Copy("cam/chart_II_extra.cam", "pic1.cam");
  Jpeg("Pic3.jpg");
  Write("pic4.jpg", QByteArray("\xFF\xD8\xFF\xE0 damaged", 12));
  Write("pic5.txt", "notes");
  Write(".hidden.cam", apptest::ReadBytes(apptest::Fixture("cam/scene_MM_thumb.cam")));
  QStringList offered;
  const auto open = [&offered](const QString& path) {
    offered << QFileInfo(path).fileName();
    return !path.endsWith("pic4.jpg");
  };

  BrowseList list;
  list.SetFolderOf(dir_.filePath("pic2.cam"));
  const struct {
    int direction;
    const char* opened;
    QStringList offered;
  } steps[] = {
      {1, "Pic3.jpg", {"Pic3.jpg"}},
      {1, "pic10.cam", {"pic4.jpg", "pic10.cam"}},
      {1, "pic1.cam", {"pic1.cam"}},  // round past the end
      {-1, "pic10.cam", {"pic10.cam"}},
      {-1, "Pic3.jpg", {"pic4.jpg", "Pic3.jpg"}},
  };
  for (const auto& step : steps) {
    offered.clear();
    EXPECT_EQ(QFileInfo(list.Step(step.direction, open)).fileName(), QString(step.opened));
    EXPECT_EQ(offered, step.offered) << step.opened;
    EXPECT_EQ(list.Current(), dir_.filePath(step.opened));
  }
  EXPECT_EQ(list.Files().size(), 6);  // the hidden file is not listed

  // The folder changes: a new picture is found; the current one removed is
  // browsed from where its name stood.
  Jpeg("pic3a.jpg");
  ASSERT_TRUE(QFile::remove(dir_.filePath("Pic3.jpg")));
  EXPECT_EQ(QFileInfo(list.Step(1, open)).fileName(), QString("pic3a.jpg"));
  ASSERT_TRUE(QFile::remove(dir_.filePath("pic3a.jpg")));
  EXPECT_EQ(QFileInfo(list.Step(-1, open)).fileName(), QString("pic2.cam"));

  // Nothing else opens: no step, the current file stays.
  BrowseList alone;
  alone.SetFolderOf(dir_.filePath("pic1.cam"));
  EXPECT_TRUE(alone.Step(1, [](const QString&) { return false; }).isEmpty());
  EXPECT_EQ(alone.Current(), dir_.filePath("pic1.cam"));
}

TEST_F(FolderTest, GivenFilesAreBrowsedInTheirOrder) {
  const QStringList files = {Copy("cam/scene_MM_thumb.cam", "z.cam"), Write("a.txt", "text"),
                             Copy("cam/chart_II_extra.cam", "m.cam")};
  BrowseList list;
  list.SetFiles(files);
  EXPECT_EQ(list.Current(), files[0]);
  const auto open = [](const QString&) { return true; };
  EXPECT_EQ(list.Step(1, open), files[2]);
  EXPECT_EQ(list.Step(1, open), files[0]);
  EXPECT_EQ(list.Step(-1, open), files[2]);
}

// The open behind a step: a file passed over says nothing; one that opens
// still shows what went wrong after it (here its auto conversion).
TEST_F(FolderTest, QuietOpenHoldsMessagesOfFailuresOnly) {
  apptest::CollectingUi ui;
  corvid::CCorvidDoc doc(ui, corvid::CRKDib::Profile::Ignore);
  EXPECT_FALSE(doc.OpenQuietly(Write("pic4.jpg", QByteArray("\xFF\xD8\xFF\xE0 damaged", 12))));
  EXPECT_FALSE(doc.OpenQuietly(dir_.filePath("missing.cam")));
  EXPECT_TRUE(ui.messages.empty());
  EXPECT_EQ(ui.depth, 0);

  doc.Image().settings().storeType = corvid::kAutoConversionOn;
  doc.Image().settings().outputPath = dir_.filePath("no-such-folder/");
  EXPECT_TRUE(doc.OpenQuietly(Copy("cam/scene_MM_thumb.cam", "shot.cam")));
  EXPECT_EQ(ui.messages, std::vector<corvid::Message>({corvid::Message::CantOpenFile}));
  // The gate is open again: a plain Open reports as always.
  EXPECT_FALSE(doc.Open(dir_.filePath("missing.cam")));
  EXPECT_EQ(ui.messages.size(), 2u);
}

}  // namespace
