#include "operations.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace corvid {
namespace {

constexpr uint16_t kBilinear = 1;                // RkSamplingResizeImage: anything but 256 and 65535
constexpr uint32_t kNineNeighbourRgbMedian = 0x0BBB;  // RkRemoveNoiseFilter: median of 9, R, G and B
constexpr uint16_t kSharpenRgb = 0x0888;         // RkEdgeEnhanceFilter: all three components, RGB
constexpr uint16_t kAllNeighbours = 0x0007;      // left+right, above+below, diagonals
constexpr int16_t kGainPerLevel = 16;            // 1/128 units: level 4 adds 1/2 of the edge

void Describe(const PixelBlock& block, ImageBlkAttrRec& image) {
  image.width = static_cast<uint16_t>(block.width());
  image.height = static_cast<uint16_t>(block.height());
  block.Describe(image);
}

// A new picture of the given size, or the reason there is none.
std::unique_ptr<PixelBlock> NewPicture(uint32_t width, uint32_t height, Message* failure) {
  if (width == 0 || height == 0 || width > kMaxSide || height > kMaxSide ||
      uint64_t{RowStride24(width)} * height > kMaxPixelBytes) {
    *failure = Message::OperationError;
    return nullptr;
  }
  std::unique_ptr<PixelBlock> block = PixelBlock::Create(width, height);
  if (!block) *failure = Message::MemoryError;
  return block;
}

}  // namespace

// The library turns about (W/2, H/2) and writes destination pixel (x, y)
// from source position R(x - offsetX, y - offsetY), R the inverse turn.
// For the turned picture to fill its bounding box W' x H', the box's
// centre (W'-1)/2 must meet the turned centre of the source's pixel
// centres; the turn about W/2 rather than (W-1)/2 moves that by
// ((cos t - sin t) / 2, (sin t + cos t) / 2). At 90 degrees a 10 x 4
// picture gets a 4 x 10 box and offset (1.5 - 5 - 1/2, 4.5 - 2 + 1/2) =
// (-4, 3); at 0 the offset is (0, 0) and at 180 (-1, -1).
RotationGeometry RotationFor(double degrees, uint32_t width, uint32_t height) {
  RotationGeometry g;
  // fmod keeps the sign: -90 stays -90 (a counter-clockwise quarter turn),
  // and |fmod| < 360 gives at most 21600 minutes, inside 16 bits.
  g.angle = static_cast<int16_t>(std::lround(std::fmod(degrees, 360.0) * 60.0));
  const double t = g.angle * std::numbers::pi / 10800.0;
  const double c = std::cos(t);
  const double s = std::sin(t);
  const double w = width;
  const double h = height;
  g.width = static_cast<uint32_t>(std::max(1L, std::lround(w * std::fabs(c) + h * std::fabs(s))));
  g.height = static_cast<uint32_t>(std::max(1L, std::lround(w * std::fabs(s) + h * std::fabs(c))));
  g.offsetX = static_cast<int16_t>(std::lround((g.width - 1) / 2.0 - w / 2.0 + (c - s) / 2.0));
  g.offsetY = static_cast<int16_t>(std::lround((g.height - 1) / 2.0 - h / 2.0 + (s + c) / 2.0));
  return g;
}

uint32_t ScaledSide(uint32_t side, uint32_t percent) {
  const uint64_t scaled = uint64_t{side} * percent / 100;
  return static_cast<uint32_t>(std::clamp<uint64_t>(scaled, 1, UINT32_MAX));
}

bool RunOperation(ModuleTableRec* table, const ImageOperation& op, PixelBlock& picture,
                  std::unique_ptr<PixelBlock>& result, Message* failure) {
  result.reset();
  *failure = Message::OperationError;
  ImageBlkAttrRec source{};
  Describe(picture, source);
  std::unique_ptr<PixelBlock> made;
  int16_t rc = RK_OK;
  switch (op.kind) {
    case ImageOperation::Kind::Rotate: {
      const RotationGeometry g = RotationFor(op.degrees, picture.width(), picture.height());
      made = NewPicture(g.width, g.height, failure);
      if (!made) return false;
      source.segmentLength[0] = op.background[0];
      source.segmentLength[1] = op.background[1];
      source.segmentLength[2] = op.background[2];
      ImageBlkAttrRec dest{};
      Describe(*made, dest);
      dest.auxCount1 = static_cast<uint16_t>(g.offsetX);
      dest.auxCount2 = static_cast<uint16_t>(g.offsetY);
      rc = RkFreeRotateImage(table, &dest, &source, g.angle, 0, nullptr);
      break;
    }
    case ImageOperation::Kind::Resize:
    case ImageOperation::Kind::ResizePercent: {
      const bool percent = op.kind == ImageOperation::Kind::ResizePercent;
      made = NewPicture(percent ? ScaledSide(picture.width(), op.percent) : op.width,
                        percent ? ScaledSide(picture.height(), op.percent) : op.height, failure);
      if (!made) return false;
      ImageBlkAttrRec dest{};
      Describe(*made, dest);
      rc = RkSamplingResizeImage(table, &dest, &source, kBilinear, nullptr);
      break;
    }
    case ImageOperation::Kind::Sharpen: {
      const int16_t gain = static_cast<int16_t>(kGainPerLevel * std::clamp(op.level, kMinSharpenLevel, kMaxSharpenLevel));
      const uint16_t mask = kAllNeighbours;
      EdgeEnhanceParamRec params{};
      params.flags = kSharpenRgb;
      params.count = 1;
      params.gains = &gain;
      params.masks = &mask;
      rc = RkEdgeEnhanceFilter(table, &source, &params, nullptr);
      break;
    }
    case ImageOperation::Kind::Denoise:
      rc = RkRemoveNoiseFilter(table, &source, kNineNeighbourRgbMedian, nullptr);
      break;
    case ImageOperation::Kind::AutoWhiteBalance:
      rc = RkAutomaticWhiteBalance(table, &source, nullptr, nullptr, nullptr);
      break;
    case ImageOperation::Kind::Blur: {
      // The blur reads around each pixel it writes: into a picture of its own.
      made = NewPicture(picture.width(), picture.height(), failure);
      if (!made) return false;
      ImageBlkAttrRec dest{};
      Describe(*made, dest);
      rc = RkBluringImage(table, &dest, &source, static_cast<int16_t>(std::clamp(op.radius, 0, kMaxBlurRadius)), 0,
                          nullptr);
      break;
    }
  }
  if (rc != RK_OK) {
    *failure = rc == RK_ERR_MEMORY ? Message::MemoryError : Message::OperationError;
    return false;
  }
  result = std::move(made);
  return true;
}

}  // namespace corvid
