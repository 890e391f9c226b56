// RkProcessMethodImage: every pixel of a first picture, with the pixel at
// the same place in a second (reference) picture, handed to a caller's
// pixel method.
#include "picture.h"

using rk::filters::Picture;

extern "C" RK_API int16_t RkProcessMethodImage(ModuleTableRec* table, ImageBlkAttrRec* first,
                                               ImageBlkAttrRec* second, RkPixelMethod method,
                                               UserCallBackRec* progress) {
  if (table == nullptr || first == nullptr || second == nullptr || method == nullptr) return RK_ERR_NULL;
  if (first->pixels == nullptr || !rk::filters::CoversAtLeast(*second, *first)) return RK_ERR_UNSUPPORTED;

  const Picture a = Picture::Of(*first);
  const Picture b = Picture::Of(*second);
  rk::filters::Progress report(progress);
  // Image rows in both pictures: row y of each is found through its own
  // bottomUp, so pictures of either orientation meet upright.
  for (int y = 0; y < a.height; ++y) {
    uint8_t* rowA = a.ImageRow(y);
    const uint8_t* rowB = b.ImageRow(y);
    for (int x = 0; x < a.width; ++x) {
      uint8_t* pa = a.At(rowA, x);
      const uint8_t* pb = b.At(rowB, x);
      // Filled whole for every call: the method may scribble on it.
      PixelProcessMethodRec rec{};
      rec.width = first->width;
      rec.height = first->height;
      rec.bottomUp = first->bottomUp;
      rec.refWidth = second->width;
      rec.refHeight = second->height;
      rec.param = first->methodParam;
      rec.red = pa + a.offset[rk::filters::kRed];
      rec.green = pa + a.offset[rk::filters::kGreen];
      rec.blue = pa + a.offset[rk::filters::kBlue];
      rec.x = rec.refX = static_cast<uint16_t>(x);
      rec.y = rec.refY = static_cast<uint16_t>(y);
      rec.refRed = pb[b.offset[rk::filters::kRed]];
      rec.refGreen = pb[b.offset[rk::filters::kGreen]];
      rec.refBlue = pb[b.offset[rk::filters::kBlue]];
      report.Remember(method(&rec, first->methodParam));
    }
    if (report.Report(y, a.height - 1, rowA)) return RK_STOPPED;
  }
  return report.last();
}
