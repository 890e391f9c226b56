// CDib: the program's device-independent bitmap (information header,
// optional colour table, pixel rows) and its BMP file form.
//
// Drawing and palettes belong to the window layer; this class only holds
// the image, reports its sizes and reads and writes BMP files. The heap
// stands in for global memory: an owned header is a calloc block freed with
// free() (the former "global handle" ownership is the same thing here).
#pragma once

#include <QIODevice>
#include <QSize>
#include <cstdint>
#include <vector>

#include "bitmap.h"
#include "messages.h"

namespace corvid {

class CDib {
 public:
  explicit CDib(UserInterface& ui) : ui_(ui) {}
  virtual ~CDib();
  CDib(const CDib&) = delete;
  CDib& operator=(const CDib&) = delete;

  // Releases the current image, then adopts the header block at `header`
  // (40-byte information header, colour table, then the pixel rows). With
  // owned false someone else frees the block (CRKDib attaches its pixel
  // block so); with owned true it must be a calloc block and is freed here.
  // The pointers are derived from the header: colour table at header + 40,
  // pixels right after the colour table.
  bool AttachImage(uint8_t* header, bool owned);
  // Frees what is owned and empties the object.
  void ReleaseImage();

  // Reads a BMP file (releasing the current image first). Reports "read
  // error 1" (fewer than 14 bytes), "Invalid bitmap file" (not "BM", or a
  // header that does not describe its own bytes) or "Read error 1" (a file
  // error or a file shorter than its header says) and returns false.
  bool ReadBmp(QIODevice& file);
  // Writes the image as a BMP file: 14-byte file header, information header,
  // colour table, pixel rows. Reports "write error" when the device fails or
  // takes fewer bytes than given.
  bool WriteBmp(QIODevice& file);
  // The complete BMP file as bytes (what WriteBmp writes); false, with
  // nothing reported, when the object is empty or memory runs out.
  bool BmpBytes(std::vector<uint8_t>& out) const;

  bool IsEmpty() const { return header_ == nullptr; }
  // (biWidth, biHeight); (0, 0) when empty.
  QSize PixelSize() const;
  const BitmapInfoHeader& Info() const { return info_; }
  const uint8_t* Header() const { return header_; }
  const uint8_t* ColourTable() const { return colourTable_; }
  const uint8_t* Pixels() const { return pixels_; }
  int32_t ColourCount() const { return colourCount_; }
  uint32_t PixelBytes() const { return pixelBytes_; }

 protected:
  UserInterface& ui_;

 private:
  void DeriveSizes();

  uint8_t* header_ = nullptr;
  const uint8_t* colourTable_ = nullptr;
  uint8_t* pixels_ = nullptr;
  BitmapInfoHeader info_;
  int32_t colourCount_ = 0;
  uint32_t pixelBytes_ = 0;
  bool headerOwned_ = false;
  bool pixelsOwned_ = false;
};

// Colour-table entries of a header: biClrUsed when non-zero, else 2, 16 or
// 256 for 1, 4 and 8 bits a pixel, 0 otherwise.
int32_t ColourCountOf(const BitmapInfoHeader& info);

}  // namespace corvid
