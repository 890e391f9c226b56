// CRKDib: the document's image object. It owns the library's module table,
// the current picture (a 24-bit pixel block the CDib part is attached to),
// the file buffer of the file opened last when it holds a JPEG stream that
// can be written out again, the Exif information and the settings; it
// imports files (recognise, decode), exports the picture (BMP, JPEG, TIFF)
// and runs auto conversion.
//
// Platform stand-ins: every block (module table, file buffer, pixel block,
// encoding buffers) is a zero-filled heap block (calloc) in place of a
// global-memory block; the local time written into Exif files comes from
// QDateTime::currentDateTime().
//
// One CRKDib per thread: the library keeps its state in the module table,
// so several image objects may decode and encode at once. The only state
// the JPEG encoders share process-wide is the restart-marker number, and
// this program never asks for restart intervals.
#pragma once

#include <QDateTime>
#include <QIODevice>
#include <QString>
#include <cstdint>
#include <memory>

#include "bitmap.h"
#include "dib.h"
#include "exif_text.h"
#include "messages.h"
#include "operations.h"
#include "settings.h"

namespace corvid {

// Largest file the import reads: far above any camera picture, and inside
// the 32-bit lengths the library takes.
constexpr qint64 kMaxFileBytes = 256ll << 20;

// Format codes of DecodeToDib.
enum class SourceFormat { Jpeg = 0, Cam = 3, Tiff = 16 };

// What the picture came from.
enum class SourceKind {
  None,     // nothing imported, or a picture adopted from elsewhere
  Cam,      // a CAM-coded picture
  CamJpeg,  // a JPEG stream inside a CAM file
  Jpeg,     // a JPEG file (JFIF or Exif, baseline or progressive)
  Tiff,     // a TIFF file (uncompressed, or holding an old-style JPEG stream)
};

// The four 256-byte text slots (make, model, software, copyright) and the
// date record an Exif save points its record at.
struct ExifTextBlock {
  char slot[4][256];
  ExifDateTimeRec date;
};
// Fills the texts and dates of an Exif record for saving: each non-empty
// setting text is copied (at most 255 characters and a terminating zero)
// into its slot with the length counting that zero; an empty text gives a
// null pointer and length 0. All three dates point at `now`.
void FillExifTexts(ExifTagInfoRec& record, ExifTextBlock& block, const Settings& settings,
                   const QDateTime& now);

class CRKDib : public CDib {
 public:
  enum class Profile {
    Use,     // read the settings from the profile store now, write them back at the end
    Ignore,  // defaults, never stored (corvid-convert, tests)
  };
  CRKDib(UserInterface& ui, Profile profile);
  ~CRKDib() override;

  Settings& settings() { return settings_; }
  const Settings& settings() const { return settings_; }

  // Opens the file at `path` for reading and imports it. A missing or
  // unreadable file, or a folder, reports "Can't Open File".
  bool ImportFile(const QString& path);
  // Reads the whole file, recognises it (CAM picture, JPEG inside a CAM
  // file, TIFF, JPEG), decodes it into a new pixel block and, when auto
  // conversion is on, converts it. True when the new picture is in place.
  // An empty, unreadable, truncated or unknown file, or one that fails to
  // decode, reports "Format Error" ("Memory Error" when the picture cannot
  // be allocated) and leaves the picture, kept stream and Exif information
  // as they were.
  bool ImportFile(QIODevice& file, const QString& fullPath);

  // Save: encodes the picture into memory by the extension of `path`
  // (".bmp"/".BMP" as BMP, ".jpg"/".JPG" as JPEG, the kept stream
  // unchanged unless Always Compress is set, ".tif"/".TIF" as TIFF), then
  // writes the file whole (file_write.h): a failure leaves an existing file
  // exactly as it was. "Format Error" for a name with none of the
  // extensions, "Export Error"/"Memory Error" when encoding fails, "Can't
  // File Create" when the file cannot be created, "Write Error" (BMP:
  // "write error") when writing it fails. False without a message when
  // there is no picture.
  bool SaveFile(const QString& path);
  // The same bytes written to an open device (only the extension of
  // `fileName` matters); nothing is written when encoding fails.
  bool ExportFile(QIODevice& file, const QString& fileName);

  // Encodes the picture described by `image` into buffer (capacity size)
  // by the File Style setting; the library's result, bytes in dataLength.
  int16_t EncodeJpeg(uint8_t* buffer, uint32_t size, double scale, ImageBlkAttrRec& image);
  // The JPEG output buffer for the picture in the File Style: half its raw
  // pixel bytes, or the encoder's own bound for it when that is larger (a
  // 1 x 1 picture has 4 raw bytes and needs 2277), so every valid picture
  // encodes; progressive files get room for their seven scans' tables, Exif
  // files for their APP1 segment. Sets the tables the encode will use. 0
  // when the encoder refuses the picture.
  uint32_t JpegCapacity(const ImageBlkAttrRec& image);

  // The length of the JPEG stream at data (SOI through EOI, > 0), its SOI
  // offset and size; -1 when data holds no whole JPEG stream in *length
  // bytes. *length is the bytes available on entry.
  int32_t CheckJfif(const uint8_t* data, uint32_t* offset, uint32_t* length, uint32_t* width,
                    uint32_t* height);
  // The same for a TIFF file: the bytes available (> 0), the picture's size
  // (for a TIFF holding an old-style JPEG stream, that stream's), offset 0;
  // -1 when data holds no TIFF the program can read.
  int32_t CheckTiff(const uint8_t* data, uint32_t* offset, uint32_t* length, uint32_t* width,
                    uint32_t* height);
  // Reads Exif information from data into `into` (check: look for the Exif
  // marker first; else data is a TIFF header). False when there is none.
  bool ReadExif(const uint8_t* data, uint32_t length, bool check, CExif& into);

  // Converts the current picture as auto conversion does, for the file at
  // sourcePath; reports its own failures.
  bool AutoConvert(const QString& sourcePath);

  struct Conversion {
    bool attempted = false;
    bool ok = false;
    bool copiedStream = false;  // a kept JPEG stream was written unchanged
    QString outputPath;
  };
  // What the auto conversion of the last import did.
  const Conversion& LastConversion() const { return conversion_; }

  // Runs an image operation (operations.h) on the picture; the kept JPEG
  // stream goes, since the pixels are no longer the stream's. Reports its
  // failure ("Memory Error", "Operation Error"); the picture is then
  // unchanged, or partly changed when an operation in place failed midway.
  bool ApplyOperation(const ImageOperation& operation);

  // Makes block the current picture as an import would, with no kept
  // stream and no Exif information (a picture that came from elsewhere).
  void AdoptPicture(std::unique_ptr<PixelBlock> block);

  bool HasPicture() const { return pixelBlock_ != nullptr; }
  const PixelBlock* Picture() const { return pixelBlock_.get(); }
  bool Loaded() const { return loaded_; }
  const CExif& Exif() const { return exif_; }
  SourceKind Kind() const { return kind_; }
  int32_t StreamOffset() const { return streamOffset_; }
  int32_t StreamLength() const { return streamLength_; }
  // The kept JPEG stream, or null.
  const uint8_t* KeptStream() const;

 private:
  struct Encoded;
  std::unique_ptr<PixelBlock> DecodeToDib(const uint8_t* data, uint32_t width, uint32_t height,
                                          uint32_t length, SourceFormat format, Message* failure);
  // Decodes a whole JPEG stream (baseline, or progressive and multi-scan
  // sequential) into block, whose size the stream's frame must have. The
  // library's result; RK_ERR_FORMAT when the header is refused.
  int16_t DecodeJpegStream(const uint8_t* stream, uint32_t length, uint16_t entryFormat,
                           const PixelBlock& block);
  void DescribePicture(ImageBlkAttrRec& image) const;
  // The one place that encodes the picture into memory, per format; each
  // reports its own failures.
  enum class SaveFormat { Bmp, Jpeg, Tiff };
  bool Encode(SaveFormat format, Encoded& out);
  bool EncodeBmpFile(Encoded& out);
  bool EncodeJpegFile(Encoded& out);
  bool EncodeTiffFile(Encoded& out);
  // By the extension of a file name; "Format Error" when it has none.
  bool EncodeForName(const QString& fileName, Encoded& out);
  void PrepareJpegTables(double scale);
  int16_t RecodeWithQualityTables(uint8_t* buffer, uint32_t size, ImageBlkAttrRec& image);
  ModuleTableRec* table() const;

  Profile profile_;
  Settings settings_;
  HeapBytes moduleTable_;
  std::unique_ptr<PixelBlock> pixelBlock_;
  HeapBytes fileBuffer_;
  int32_t streamOffset_ = -1;
  int32_t streamLength_ = 0;
  bool loaded_ = false;
  CExif exif_;
  SourceKind kind_ = SourceKind::None;
  Conversion conversion_;
};

}  // namespace corvid
