#include "encode_helpers.h"

#include <turbojpeg.h>

#include <gtest/gtest.h>

namespace rktest {

Encoded ExportJfif(const EncodeSettings& s, void (*describe)(ImageBlkAttrRec&, void*), void* pixels,
                   uint32_t capacity) {
  ModuleTable table;
  RkInitLHuffmanTable(table.get());
  RkInitCHuffmanTable(table.get());
  RkSetQuantizeScaleFactor(table.get(), &s.scale, &s.scale);
  if (!s.comment.empty()) {
    RkSetGlobalComment(table.get(), reinterpret_cast<const uint8_t*>(s.comment.data()),
                       static_cast<uint32_t>(s.comment.size()));
  }
  Encoded e;
  ImageBlkAttrRec& r = e.record;
  describe(r, pixels);
  r.format = s.format;
  r.restartInterval = s.restartInterval;
  r.methodParam = s.methodParam;
  r.xDpi = s.xDpi;
  r.yDpi = s.yDpi;
  const uint64_t generous = 4096 + 4ull * r.width * r.height + s.comment.size();
  std::vector<uint8_t> out(capacity != 0 ? capacity : generous, 0xAB);
  r.data = out.data();
  r.dataLength = static_cast<uint32_t>(out.size());
  std::vector<uint8_t> shop;
  if (s.workShop) {
    shop.assign(RkGetProgJPEGEncodeWorkSpaceSize(&r), 0xAB);
    RkSetCustomModuleTableWorkshop(table.get(), shop.data());
  }
  e.result = s.progressive ? RkExportImageByProgJFIF(table.get(), &r, nullptr)
                           : RkExportImageByJFIF(table.get(), &r, nullptr);
  if (e.result == RK_OK) {
    out.resize(r.dataLength);
    e.bytes = std::move(out);
  }
  return e;
}

Encoded ExportJfif(const EncodeSettings& s, Bitmap24& bitmap, uint32_t capacity) {
  return ExportJfif(
      s, [](ImageBlkAttrRec& r, void* p) { static_cast<Bitmap24*>(p)->Describe(r); }, &bitmap, capacity);
}

PeerDecoded DecodeWithTurbo(const std::vector<uint8_t>& jpeg) {
  PeerDecoded d;
  tjhandle h = tjInitDecompress();
  int w = 0, hgt = 0, subsamp = 0, cs = 0;
  if (tjDecompressHeader3(h, jpeg.data(), jpeg.size(), &w, &hgt, &subsamp, &cs) != 0) {
    d.message = tjGetErrorStr2(h);
    tjDestroy(h);
    return d;
  }
  d.image.width = w;
  d.image.height = hgt;
  d.image.px.assign(static_cast<size_t>(w) * hgt * 3, 0);
  // Warnings (corrupt data, extraneous bytes) make tjDecompress2 return -1
  // with error code TJERR_WARNING; both count as unclean here.
  const int rc = tjDecompress2(h, jpeg.data(), jpeg.size(), d.image.px.data(), w, 0, hgt, TJPF_RGB,
                               TJFLAG_ACCURATEDCT);
  d.clean = rc == 0;
  if (rc != 0) d.message = tjGetErrorStr2(h);
  tjDestroy(h);
  return d;
}

long FindMarker(const std::vector<uint8_t>& jpeg, uint8_t code) {
  size_t i = 2;
  while (i + 4 <= jpeg.size() && jpeg[i] == 0xFF) {
    if (jpeg[i + 1] == code) return static_cast<long>(i);
    if (jpeg[i + 1] == 0xDA) return -1;
    i += 2 + (static_cast<size_t>(jpeg[i + 2]) << 8 | jpeg[i + 3]);
  }
  return -1;
}

}  // namespace rktest
