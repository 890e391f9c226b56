// The JFIF wrapper of camera data (bytes, lengths, refusals; djpeg reads
// what it writes) and the JPEG-to-bitmap export.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>

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

}  // namespace
