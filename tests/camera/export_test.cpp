// The JFIF wrapper of camera data (bytes, lengths, refusals; djpeg reads
// what it writes) and the JPEG-to-bitmap export.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <random>

#include "camera_helpers.h"
#include "camera_writer.h"

namespace {

using cameratest::Bytes;

// djpeg (the test-only peer) decodes a file: its exit status, whatever it
// printed (a warning about the data, say), and the picture.
struct Djpeg {
  int status = -1;
  std::string messages;
  rktest::Rgb picture;
};

Djpeg RunDjpeg(const Bytes& jpeg, const std::string& name) {
  const std::string base = ::testing::TempDir() + "camera_" + name;
  std::ofstream(base + ".jpg", std::ios::binary).write(reinterpret_cast<const char*>(jpeg.data()),
                                                       static_cast<std::streamsize>(jpeg.size()));
  Djpeg d;
  const std::string command = "djpeg -ppm -outfile " + base + ".ppm " + base + ".jpg 2>" + base + ".txt";
  d.status = std::system(command.c_str());
  const Bytes text = rktest::ReadFile(base + ".txt");
  d.messages.assign(text.begin(), text.end());
  if (d.status == 0) d.picture = rktest::LoadPpm(base + ".ppm");
  for (const char* ext : {".jpg", ".ppm", ".txt"}) std::remove((base + ext).c_str());
  return d;
}

Bytes Quant() {
  Bytes q(128);
  for (int i = 0; i < 128; ++i) q[i] = static_cast<uint8_t>(1 + i % 50);
  return q;
}

TEST(VCameraJpeg, SegmentsAroundTheData) {
  const Bytes quant = Quant();
  const Bytes data(1000, 0x5A);
  Bytes out(2000, 0xAB);
  ASSERT_EQ(RkExportVCameraDataToJPEG(quant.data(), nullptr, 0, data.data(), 1000, out.data()), 1607u);
  const Bytes head = {0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10, 'J', 'F', 'I', 'F', 0, 1, 2, 1, 0, 72, 0, 72, 0, 0,
                      0xFF, 0xDB, 0x00, 0x84, 0x00};
  EXPECT_EQ(Bytes(out.begin(), out.begin() + 25), head);
  EXPECT_EQ(Bytes(out.begin() + 25, out.begin() + 89), Bytes(quant.begin(), quant.begin() + 64));
  EXPECT_EQ(out[89], 1);
  EXPECT_EQ(Bytes(out.begin() + 90, out.begin() + 154), Bytes(quant.begin() + 64, quant.end()));
  EXPECT_EQ(Bytes(out.begin() + 154, out.begin() + 158), (Bytes{0xFF, 0xC4, 0x01, 0xA2}));
  const Bytes sof = {0xFF, 0xC0, 0x00, 0x11, 0x08, 0x01, 0xE0, 0x02, 0x80, 0x03,
                     0x00, 0x21, 0x00, 0x01, 0x11, 0x01, 0x02, 0x11, 0x01};
  EXPECT_EQ(Bytes(out.begin() + 574, out.begin() + 593), sof);
  EXPECT_EQ(Bytes(out.begin() + 593, out.begin() + 607),
            (Bytes{0xFF, 0xDA, 0x00, 0x0C, 0x03, 0x00, 0x00, 0x01, 0x11, 0x02, 0x11, 0x00, 0x3F, 0x00}));
  EXPECT_EQ(Bytes(out.begin() + 607, out.begin() + 1607), data);
  EXPECT_EQ(out[1607], 0xAB);  // nothing past the count
}

TEST(VCameraJpeg, CommentSegmentAndItsLimit) {
  const Bytes quant = Quant();
  const Bytes data(10, 0x11);
  struct Case {
    uint32_t commentLength;
    bool nullComment;
    uint32_t result;
  };
  // A comment of 5 bytes adds FF FE 00 07 and the bytes; 65533 is the most
  // the 16-bit length can carry; a null pointer or length 0 is no comment.
  const Case cases[] = {{5, false, 626}, {0, false, 617}, {7, true, 617}, {65533, false, 617 + 65537},
                        {65534, false, 0}, {0xFFFFFFFF, false, 0}};
  const Bytes comment(65534, 'c');
  for (const Case& c : cases) {
    Bytes out(70000, 0xAB);
    const uint32_t n = RkExportVCameraDataToJPEG(quant.data(), c.nullComment ? nullptr : comment.data(),
                                                 c.commentLength, data.data(), 10, out.data());
    EXPECT_EQ(n, c.result) << c.commentLength;
    if (n == 0) {
      EXPECT_TRUE(std::all_of(out.begin(), out.end(), [](uint8_t v) { return v == 0xAB; }));
    } else if (c.commentLength == 5) {
      EXPECT_EQ(Bytes(out.begin() + 20, out.begin() + 29), (Bytes{0xFF, 0xFE, 0x00, 0x07, 'c', 'c', 'c', 'c', 'c'}));
    }
  }
  Bytes out(700);
  EXPECT_EQ(RkExportVCameraDataToJPEG(nullptr, nullptr, 0, data.data(), 10, out.data()), 0u);
}

TEST(VCameraJpeg, DjpegReadsTheWrappedCameraData) {
  // KSTM image data from the writer, and the image part of compound data:
  // djpeg decodes both without a word, to nearly our own pixels (its
  // upsampling interpolates where ours replicates: about 48 dB).
  const rktest::Rgb img = rktest::MakePhotoLike(640, 480, 13);
  rktools::Picture pic(640, 480);
  pic.rgb = img.px;
  Bytes kstm;
  ASSERT_TRUE(rktools::WriteKstmImage(pic, 0.5, kstm));
  uint32_t size = 131072;  // scale 0.25, where the writer used 0.5
  int16_t result = 1;
  const Bytes pixels = cameratest::BottomUpPixels(img);
  void* block = RkGetCompImgKSTMRawData(pixels.data(), &size, &result, nullptr);
  const Bytes compound = cameratest::Take(block, size);
  ASSERT_EQ(result, 0);
  const uint32_t thumb = compound[4] << 24 | compound[5] << 16 | compound[6] << 8 | compound[7];
  const Bytes part(compound.begin() + 32 + thumb, compound.end());

  for (const auto& [name, data] : {std::pair{"writer", kstm}, std::pair{"compound", part}}) {
    Bytes jpeg(data.size() + 700);
    const uint32_t n = RkExportVCameraDataToJPEG(data.data() + 8, reinterpret_cast<const uint8_t*>("cam"), 3,
                                                 data.data() + 136, static_cast<uint32_t>(data.size() - 136),
                                                 jpeg.data());
    ASSERT_EQ(n, data.size() - 136 + 607 + 7);
    jpeg.resize(n);
    const Djpeg peer = RunDjpeg(jpeg, name);
    EXPECT_EQ(peer.status, 0) << name;
    EXPECT_EQ(peer.messages, "") << name;
    const Bytes ours = cameratest::Take(
        RkGetImgDIBKSTMCameraImage(data.data(), static_cast<int32_t>(data.size()), &result, nullptr), 921640);
    ASSERT_EQ(result, 0);
    EXPECT_GT(rktest::Compare(peer.picture, cameratest::FromPacked(ours.data())).psnr, 44.0) << name;
  }
}

TEST(JfifToBitmap, ResultsAndOwnership) {
  const Bytes stream = rktest::ReadFile(rktest::Fixture("camera/in/storm59x41_422_opt.jpg"));
  int16_t result = 1;
  EXPECT_EQ(RkGetImgDIBJFIFImage(nullptr, 10, &result, nullptr), nullptr);
  EXPECT_EQ(result, -2);
  EXPECT_EQ(RkGetImgDIBJFIFImage(stream.data(), 0, &result, nullptr), nullptr);
  EXPECT_EQ(result, -2);
  // Without its end of image the header decoder finds no stream: -3, not an
  // empty bitmap reported as success.
  EXPECT_EQ(RkGetImgDIBJFIFImage(stream.data(), static_cast<int32_t>(stream.size() - 2), &result, nullptr), nullptr);
  EXPECT_EQ(result, -3);
  cameratest::Answer stop{-1000};
  UserCallBackRec rec = stop.rec();
  EXPECT_EQ(RkGetImgDIBJFIFImage(stream.data(), static_cast<int32_t>(stream.size()), &result, &rec), nullptr);
  EXPECT_EQ(result, -1000);
  void* block = RkGetImgDIBJFIFImage(stream.data(), static_cast<int32_t>(stream.size()), nullptr, nullptr);
  ASSERT_NE(block, nullptr);
  const rktest::Rgb mine = cameratest::FromPacked(static_cast<uint8_t*>(block));
  std::free(block);
  const Djpeg peer = RunDjpeg(stream, "storm");
  ASSERT_EQ(peer.status, 0);
  EXPECT_EQ(mine.width, 59);
  EXPECT_GT(rktest::Compare(peer.picture, mine).psnr, 42.0);  // about 46 dB
}

TEST(JfifToBitmap, ProgressiveStreamsTakeTheProgressiveDecoder) {
  // An odd-sized 4:2:0 progressive stream: exactly the reference picture.
  for (const char* name : {"d4_bug47x33_420", "d1_storm64x48_422_sa"}) {
    const Bytes stream = rktest::ReadFile(rktest::Fixture(std::string("prog/") + name + ".jpg"));
    int16_t result = 1;
    void* block = RkGetImgDIBJFIFImage(stream.data(), static_cast<int32_t>(stream.size()), &result, nullptr);
    ASSERT_EQ(result, 0) << name;
    ASSERT_NE(block, nullptr);
    const rktest::Rgb mine = cameratest::FromPacked(static_cast<uint8_t*>(block));
    std::free(block);
    const rktest::Rgb expected = rktest::LoadPpm(rktest::Fixture(std::string("prog/") + name + ".ppm"));
    ASSERT_EQ(mine.width, expected.width);
    EXPECT_EQ(mine.px, expected.px) << name;
  }
}

// exiftool's reading of a file: "Tag: value" lines, warnings included.
std::string Exiftool(const Bytes& jpeg) {
  const std::string base = ::testing::TempDir() + "camera_wren";
  std::ofstream(base + ".jpg", std::ios::binary).write(reinterpret_cast<const char*>(jpeg.data()),
                                                       static_cast<std::streamsize>(jpeg.size()));
  const std::string command = "exiftool -S -Warning -Make -ISO -FNumber -FocalLength -ExifVersion -ImageSize " +
                              base + ".jpg >" + base + ".txt 2>&1";
  EXPECT_EQ(std::system(command.c_str()), 0);
  const Bytes text = rktest::ReadFile(base + ".txt");
  std::remove((base + ".jpg").c_str());
  std::remove((base + ".txt").c_str());
  return std::string(text.begin(), text.end());
}

TEST(WrenExif, ModesSizesAndTheMakerNote) {
  const rktest::Rgb photo = rktest::MakePhotoLike(640, 480, 6);
  const Bytes pixels = cameratest::BottomUpPixels(photo);
  // Mode 10 is mode 2 (640 x 480, scale 0.3, code 2) with the flag byte 8.
  for (const uint32_t mode : {2u, 10u}) {
    uint32_t size = 1000;  // a small hint: the buffer is sized from the picture
    int16_t result = 1;
    void* block = RkGetWrenExifImgRawData(pixels.data(), &size, mode, &result, nullptr);
    ASSERT_EQ(result, 0) << mode;
    const Bytes file = cameratest::Take(block, size);
    const Djpeg peer = RunDjpeg(file, "wren");
    EXPECT_EQ(peer.status, 0);
    EXPECT_EQ(peer.messages, "");
    EXPECT_GT(rktest::Compare(peer.picture, photo).psnr, 30.0);

    int32_t app1 = 0;
    ASSERT_EQ(RkCheckExifFile(file.data(), static_cast<int32_t>(file.size()), &app1), 12);
    ExifTagInfoRec info{};
    RkInitExifTagVers(&info);
    const int32_t limit = app1;
    ASSERT_EQ(RkDecodeExifHeader(file.data() + 12, &limit, nullptr, &info), 210);
    ASSERT_EQ(info.makerNoteLength, 20);
    const uint8_t note[4] = {2, static_cast<uint8_t>(mode == 10 ? 8 : 0), 0, 0};
    EXPECT_EQ(std::memcmp(info.makerNote, note, 4), 0) << mode;
    EXPECT_EQ(info.isoSpeed, 100);
  }
  uint32_t size = 0;
  int16_t result = 1;
  void* block = RkGetWrenExifImgRawData(pixels.data(), &size, 2, &result, nullptr);
  const std::string tags = Exiftool(cameratest::Take(block, size));
  // The blank maker's notes are unknown to exiftool, its only remark.
  for (const char* line : {"Warning: [minor] Unrecognized MakerNotes\n", "ISO: 100\n", "FNumber: 5.6\n",
                           "FocalLength: 7.0 mm\n", "ExifVersion: 0210\n", "ImageSize: 640x480\n"}) {
    EXPECT_NE(tags.find(line), std::string::npos) << line << " in\n" << tags;
  }
  EXPECT_EQ(tags.find("Warning", tags.find("Warning") + 1), std::string::npos) << tags;
  EXPECT_EQ(RkGetWrenExifImgRawData(nullptr, &size, 2, &result, nullptr), nullptr);
  EXPECT_EQ(result, -2);
}

TEST(WrenExif, TheWriterKeepsToTheBufferItIsGiven) {
  // Noise in luminance and in chrominance (a random colour per 2 x 2
  // square, so that averaging keeps it) codes at 1360 x 1024 and scale 0.3
  // to about 1.24 MB, more than the buffer a zero hint gives (a quarter of
  // the bitmap plus 64 KB, 1.11 MB): -4, not a write past it. A hint of
  // 4 MB gives room.
  rktest::Rgb noise{1360, 1024, Bytes(1360 * 1024 * 3)};
  std::mt19937 rng(3);
  for (int y = 0; y < 1024; y += 2) {
    for (int x = 0; x < 1360; x += 2) {
      const int base[3] = {static_cast<int>(rng() % 256), static_cast<int>(rng() % 256), static_cast<int>(rng() % 256)};
      for (int k = 0; k < 4; ++k) {
        const int grey = static_cast<int>(rng() % 161) - 80;
        for (int c = 0; c < 3; ++c) noise.at(x + (k & 1), y + (k >> 1))[c] = static_cast<uint8_t>(std::clamp(base[c] + grey, 0, 255));
      }
    }
  }
  const Bytes pixels = cameratest::BottomUpPixels(noise);
  for (const auto& [hint, expected] : {std::pair{0u, -4}, std::pair{4u << 20, 0}}) {
    uint32_t size = hint;
    int16_t result = 1;
    void* block = RkGetWrenExifImgRawData(pixels.data(), &size, 0, &result, nullptr);
    EXPECT_EQ(result, expected) << hint;
    EXPECT_EQ(block != nullptr, expected == 0);
    std::free(block);
  }
}

}  // namespace
