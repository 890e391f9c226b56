#include "rk_dib.h"

#include <QFile>
#include <QFileInfo>
#include <QtGlobal>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

#include "auto_convert.h"
#include "file_write.h"
#include "jpeg_quality.h"
#include "rastkit_bridge.h"

namespace corvid {
namespace {

// Written into every TIFF file as its comment (15 characters, no zero).
constexpr char kTiffComment[] = "TIFF by Halvard";
constexpr uint32_t kTiffCommentLength = sizeof kTiffComment - 1;

// Three components, the first sampled 2 x 1.
constexpr uint16_t kJpegFormat = 0x3001;

// What the seven scans of a progressive file add to the baseline writer's
// bound at most (see JpegCapacity).
constexpr uint64_t kProgressiveScanBytes = 7 * (4 + 2 * 273 + 14 + 2);

// The smallest JPEG stream: SOI and EOI. Shorter data is not measured at all.
constexpr uint32_t kMinJpegBytes = 4;

bool ReadWhole(QIODevice& file, uint8_t* into, qint64 count) {
  qint64 done = 0;
  while (done < count) {
    const qint64 n = file.read(reinterpret_cast<char*>(into) + done, count - done);
    if (n <= 0) return false;
    done += n;
  }
  // A file that grew while it was read is not the file that was measured.
  char extra;
  return file.read(&extra, 1) == 0;
}

// "II*\0" or "MM\0*": the two byte orders of a TIFF header.
bool LooksLikeTiff(const uint8_t* data, uint32_t size) {
  if (size < 4) return false;
  return (data[0] == 'I' && data[1] == 'I' && data[2] == 42 && data[3] == 0) ||
         (data[0] == 'M' && data[1] == 'M' && data[2] == 0 && data[3] == 42);
}

bool NameHas(const QString& name, const char* upper, const char* lower) {
  return name.contains(QLatin1String(upper)) || name.contains(QLatin1String(lower));
}

void CopySlot(const QString& text, char* slot, const char*& pointer, uint16_t& length) {
  if (text.isEmpty()) {
    pointer = nullptr;
    length = 0;
    return;
  }
  // UTF-8, as the reader shows texts that are valid UTF-8. A text longer
  // than the slot's 255 bytes is cut before the character that would not
  // fit whole: "©" is C2 A9 and never leaves a lone C2 behind.
  const QByteArray bytes = text.toUtf8();
  size_t n = std::min<size_t>(static_cast<size_t>(bytes.size()), 255);
  if (n < static_cast<size_t>(bytes.size())) {
    while (n > 0 && (static_cast<uint8_t>(bytes[static_cast<qsizetype>(n)]) & 0xC0) == 0x80) --n;
  }
  std::memcpy(slot, bytes.constData(), n);
  slot[n] = '\0';
  pointer = slot;
  // What was copied and its zero: the writer must not be told to read past
  // the slot.
  length = static_cast<uint16_t>(n + 1);
}

// The APP1 segment an Exif encode writes right after SOI: FF E1, a 16-bit
// length counting itself, "Exif" 00 00, then the block. Copies the block.
bool CopyExifBlock(const uint8_t* file, uint32_t size, std::vector<uint8_t>& block) {
  constexpr uint32_t kHead = 2 + 4 + 6;  // SOI, marker and length, "Exif" 00 00
  if (size < kHead || file[2] != 0xFF || file[3] != 0xE1) return false;
  const uint32_t segment = uint32_t{file[4]} << 8 | file[5];
  if (segment < 8 || segment - 8 > size - kHead) return false;
  block.assign(file + kHead, file + kHead + (segment - 8));
  return true;
}

}  // namespace

void FillExifTexts(ExifTagInfoRec& record, ExifTextBlock& block, const Settings& settings,
                   const QDateTime& now) {
  const QDate d = now.date();
  const QTime t = now.time();
  block.date.year = static_cast<uint16_t>(d.year());
  block.date.month = static_cast<uint8_t>(d.month());
  block.date.day = static_cast<uint8_t>(d.day());
  block.date.hour = static_cast<uint8_t>(t.hour());
  block.date.minute = static_cast<uint8_t>(t.minute());
  block.date.second = static_cast<uint8_t>(t.second());
  CopySlot(settings.make, block.slot[0], record.make, record.makeLength);
  CopySlot(settings.model, block.slot[1], record.model, record.modelLength);
  CopySlot(settings.software, block.slot[2], record.software, record.softwareLength);
  CopySlot(settings.copyright, block.slot[3], record.copyright, record.copyrightLength);
  record.dateTime = &block.date;
  record.dateTimeOriginal = &block.date;
  record.dateTimeDigitized = &block.date;
}

// Bytes ready to be written: a buffer of our own, or a view of the kept
// stream; and the message a failure to write them shows.
struct CRKDib::Encoded {
  HeapBytes owned;
  std::vector<uint8_t> bmp;
  const uint8_t* data = nullptr;
  size_t size = 0;
  Message writeFailure = Message::WriteError;
  bool copiedStream = false;

  // Takes an encoder's output buffer when the encode succeeded and wrote
  // between 1 and `capacity` bytes; false otherwise (nothing taken).
  bool Take(int16_t result, HeapBytes& buffer, uint32_t written, uint32_t capacity) {
    if (result != 0 || written == 0 || written > capacity) return false;
    size = written;
    owned = std::move(buffer);
    data = owned.get();
    return true;
  }
};

CRKDib::CRKDib(UserInterface& ui, Profile profile) : CDib(ui), profile_(profile) {
  moduleTable_ = AllocZeroed(RkGetCompressBlkSize());
  if (moduleTable_) RkInitModuleTable(table());
  if (profile_ == Profile::Use) {
    QSettings store(ProfileFormat(), QSettings::UserScope, QStringLiteral("Quillbank"),
                    QStringLiteral("Corvid"));
    settings_ = LoadSettings(store);
  }
}

CRKDib::~CRKDib() {
  ReleaseImage();
  pixelBlock_.reset();
  fileBuffer_.reset();
  if (moduleTable_) RkFreeModuleTable(table());
  if (profile_ == Profile::Use) {
    QSettings store(ProfileFormat(), QSettings::UserScope, QStringLiteral("Quillbank"),
                    QStringLiteral("Corvid"));
    StoreSettings(store, settings_);
  }
}

ModuleTableRec* CRKDib::table() const {
  return reinterpret_cast<ModuleTableRec*>(moduleTable_.get());
}

const uint8_t* CRKDib::KeptStream() const {
  if (!fileBuffer_ || streamOffset_ < 0 || streamLength_ <= 0) return nullptr;
  return fileBuffer_.get() + streamOffset_;
}

void CRKDib::DescribePicture(ImageBlkAttrRec& image) const {
  image.width = static_cast<uint16_t>(pixelBlock_->width());
  image.height = static_cast<uint16_t>(pixelBlock_->height());
  pixelBlock_->Describe(image);
}

bool CRKDib::ImportFile(const QString& path) {
  QFile file(path);
  const QFileInfo info(path);
  // A folder opens on some systems; it is no more a picture than a file
  // that is missing or may not be read.
  if (info.isDir() || !file.open(QIODevice::ReadOnly)) {
    loaded_ = false;
    ui_.ReportFile(Message::CantOpenFile, path, info.isDir() ? qt_error_string(EISDIR) : file.errorString());
    return false;
  }
  return ImportFile(file, info.absoluteFilePath());
}

bool CRKDib::ImportFile(QIODevice& file, const QString& fullPath) {
  loaded_ = false;
  conversion_ = Conversion();
  BusyScope busy(ui_);

  // Everything below is built aside and only replaces the current picture,
  // stream and information once the new picture has decoded.
  const qint64 fileSize = file.size();
  HeapBytes buffer;
  if (fileSize > 0 && fileSize <= kMaxFileBytes) buffer = AllocZeroed(static_cast<size_t>(fileSize));
  if (!buffer || !ReadWhole(file, buffer.get(), fileSize)) {
    ui_.Report(Message::FormatError);
    return false;
  }
  const uint8_t* data = buffer.get();
  const uint32_t size = static_cast<uint32_t>(fileSize);

  int recognised = -1;
  std::unique_ptr<PixelBlock> block;
  Message failure = Message::FormatError;
  int32_t streamOffset = -1;
  int32_t streamLength = 0;
  CExif exif;

  uint32_t sectionLength = 0;
  uint32_t sectionOffset = 0;
  const int16_t camType = lib::CheckCamFile(data, size, &sectionLength, &sectionOffset);
  uint32_t jpegOffset = 0, width = 0, height = 0;
  if (camType == 3) {
    recognised = 3;
    block = DecodeToDib(data, static_cast<uint32_t>(settings_.camWidth),
                        static_cast<uint32_t>(settings_.camHeight), size, SourceFormat::Cam,
                        &failure);
  } else if (camType == 4) {
    // The sized check has made sure the section lies inside the file.
    uint32_t length = sectionLength;
    const int32_t jpegLength = CheckJfif(data + sectionOffset, &jpegOffset, &length, &width, &height);
    if (jpegLength > 0) {
      recognised = 4;
      block = DecodeToDib(data + sectionOffset + jpegOffset, width, height,
                          static_cast<uint32_t>(jpegLength), SourceFormat::Jpeg, &failure);
      streamOffset = static_cast<int32_t>(sectionOffset + jpegOffset);
      streamLength = jpegLength;
    }
  } else if (LooksLikeTiff(data, size)) {
    // A TIFF file takes the TIFF road only: its directories may point at a
    // whole JPEG stream (an IFD1 thumbnail, say), which the search for a
    // JPEG stream would otherwise open in place of the picture.
    uint32_t tiffOffset = 0;
    uint32_t length = size;
    if (CheckTiff(data, &tiffOffset, &length, &width, &height) > 0) {
      recognised = 16;
      block = DecodeToDib(data, width, height, length, SourceFormat::Tiff, &failure);
      if (block) ReadExif(data, size, false, exif);
    }
  } else {
    uint32_t length = size;
    const int32_t jpegLength = CheckJfif(data, &jpegOffset, &length, &width, &height);
    if (jpegLength > 0) {
      recognised = 0;
      block = DecodeToDib(data + jpegOffset, width, height, static_cast<uint32_t>(jpegLength),
                          SourceFormat::Jpeg, &failure);
      streamOffset = static_cast<int32_t>(jpegOffset);
      streamLength = jpegLength;
      if (block) ReadExif(data + jpegOffset, static_cast<uint32_t>(jpegLength), true, exif);
    }
  }

  if (recognised < 0 || !block) {
    ui_.Report(recognised < 0 ? Message::FormatError : failure);
    return false;
  }

  ReleaseImage();
  pixelBlock_ = std::move(block);
  AttachImage(pixelBlock_->data(), false);
  streamOffset_ = streamOffset;
  streamLength_ = streamLength;
  // Only a JPEG stream is worth keeping: it is written back unchanged.
  fileBuffer_ = streamOffset >= 0 ? std::move(buffer) : HeapBytes();
  exif_ = exif;
  kind_ = recognised == 3   ? SourceKind::Cam
          : recognised == 4 ? SourceKind::CamJpeg
          : recognised == 0 ? SourceKind::Jpeg
                            : SourceKind::Tiff;
  loaded_ = true;

  if (settings_.autoConversion()) AutoConvert(fullPath);
  return true;
}

bool CRKDib::ApplyOperation(const ImageOperation& operation) {
  if (!pixelBlock_) return false;
  if (!moduleTable_) {
    ui_.Report(Message::MemoryError);
    return false;
  }
  std::unique_ptr<PixelBlock> result;
  Message failure = Message::OperationError;
  bool ok;
  {
    BusyScope busy(ui_);
    ok = RunOperation(table(), operation, *pixelBlock_, result, &failure);
  }
  if (!ok) {
    ui_.Report(failure);
    return false;
  }
  if (result) {
    ReleaseImage();
    pixelBlock_ = std::move(result);
    AttachImage(pixelBlock_->data(), false);
  }
  fileBuffer_.reset();
  streamOffset_ = -1;
  streamLength_ = 0;
  return true;
}

void CRKDib::AdoptPicture(std::unique_ptr<PixelBlock> block) {
  ReleaseImage();
  pixelBlock_ = std::move(block);
  if (pixelBlock_) AttachImage(pixelBlock_->data(), false);
  fileBuffer_.reset();
  streamOffset_ = -1;
  streamLength_ = 0;
  exif_.Clear();
  kind_ = SourceKind::None;
}

std::unique_ptr<PixelBlock> CRKDib::DecodeToDib(const uint8_t* data, uint32_t width,
                                                uint32_t height, uint32_t length,
                                                SourceFormat format, Message* failure) {
  *failure = Message::FormatError;
  if (!moduleTable_) {
    *failure = Message::MemoryError;
    return nullptr;
  }
  std::unique_ptr<PixelBlock> block = PixelBlock::Create(width, height);
  if (!block) {
    *failure = Message::MemoryError;
    return nullptr;
  }
  int16_t result = RK_ERR_FORMAT;
  switch (format) {
    case SourceFormat::Jpeg:
      result = DecodeJpegStream(data, length, 0, *block);
      break;
    case SourceFormat::Cam: {
      ImageBlkAttrRec image{};
      block->Describe(image);
      RkInitLHuffmanTable(table());
      RkInitCHuffmanTable(table());
      if (lib::DecodeCamHeader(table(), data, length, &image) != 0) return nullptr;
      // The CAM size setting is the size of the decoded raster.
      image.width = static_cast<uint16_t>(width);
      image.height = static_cast<uint16_t>(height);
      result = lib::DecompressCam(table(), &image);
      break;
    }
    case SourceFormat::Tiff: {
      ImageBlkAttrRec image{};
      image.format = 1;  // the first directory only
      const int32_t header = lib::DecodeTiffHeader(table(), data, length, &image);
      if (header == RK_TIFF_HOLDS_JPEG) {
        // Old-style JPEG: the header found the stream (cut to the file),
        // which may leave its Huffman tables to the reader.
        result = DecodeJpegStream(image.data + image.dataOffset, image.dataLength,
                                  RK_FORMAT_DEFAULT_HUFFMAN, *block);
        break;
      }
      if (header <= -1) return nullptr;
      if (image.width != width || image.height != height) return nullptr;
      // Only the pixel part is ours: the strip tables' places, entry widths
      // and format code stay as the header left them.
      block->Describe(image);
      result = lib::DecodeTiff(table(), &image);
      break;
    }
  }
  if (result != 0) return nullptr;
  return block;
}

int16_t CRKDib::DecodeJpegStream(const uint8_t* stream, uint32_t length, uint16_t entryFormat,
                                 const PixelBlock& block) {
  ImageBlkAttrRec image{};
  image.format = entryFormat;
  block.Describe(image);
  if (lib::DecodeJfifHeader(table(), stream, length, &image) < 0) return RK_ERR_FORMAT;
  // The block was sized from the same stream; a stream that says otherwise
  // now would be decoded past the block.
  if (image.width != block.width() || image.height != block.height()) return RK_ERR_FORMAT;
  // Progressive frames, and sequential ones coded in several scans, take
  // the progressive decoder.
  return (image.format & RK_FORMAT_PROGRESSIVE) != 0 ? lib::DecompressProgressiveJpeg(table(), &image)
                                                     : lib::DecompressJpeg(table(), &image);
}

int32_t CRKDib::CheckJfif(const uint8_t* data, uint32_t* offset, uint32_t* length,
                          uint32_t* width, uint32_t* height) {
  if (*length < kMinJpegBytes) return -1;
  ImageBlkAttrRec image{};
  const int32_t soi = lib::DecodeJfifHeader(nullptr, data, *length, &image);
  if (soi < 0 || static_cast<uint32_t>(soi) >= *length) return -1;
  // SOI through the end of EOI. A progressive stream is measured from its
  // SOI; a baseline one from the start of the entropy-coded data.
  uint64_t streamLength = (image.format & RK_FORMAT_PROGRESSIVE) != 0
                              ? uint64_t{image.dataLength} + 2
                              : uint64_t{image.dataLength} + image.dataOffset - soi + 2;
  // The stream is kept and written back as it is: it must lie inside the data.
  if (streamLength > *length - static_cast<uint32_t>(soi) || streamLength > INT32_MAX) return -1;
  *offset = static_cast<uint32_t>(soi);
  *width = image.width;
  *height = image.height;
  *length = static_cast<uint32_t>(streamLength);
  return static_cast<int32_t>(streamLength);
}

int32_t CRKDib::CheckTiff(const uint8_t* data, uint32_t* offset, uint32_t* length,
                          uint32_t* width, uint32_t* height) {
  ImageBlkAttrRec image{};
  image.format = 1;
  const int32_t result = lib::DecodeTiffHeader(table(), data, *length, &image);
  if (result == RK_TIFF_HOLDS_JPEG) {
    // The picture is the embedded JPEG stream: its frame gives the size.
    ImageBlkAttrRec jpeg{};
    jpeg.format = RK_FORMAT_DEFAULT_HUFFMAN;
    if (lib::DecodeJfifHeader(nullptr, image.data + image.dataOffset, image.dataLength, &jpeg) < 0) {
      return -1;
    }
    image.width = jpeg.width;
    image.height = jpeg.height;
  } else if (result <= 0) {
    return -1;
  }
  *offset = 0;
  *width = image.width;
  *height = image.height;
  return static_cast<int32_t>(*length);
}

bool CRKDib::ReadExif(const uint8_t* data, uint32_t length, bool check, CExif& into) {
  int32_t offset = 0;
  int32_t limit = static_cast<int32_t>(length);
  if (check) {
    const int16_t found = lib::CheckExifFile(data, static_cast<int32_t>(length), &limit);
    if (found < 0 || static_cast<uint32_t>(found) > length) return false;
    offset = found;
    // The segment's own length, but never past the bytes held.
    limit = std::min<int32_t>(limit, static_cast<int32_t>(length) - offset);
  }
  ExifTagInfoRec record{};
  ImageBlkAttrRec scratch{};
  lib::InitExifRecord(&record);
  if (lib::DecodeExifHeader(data + offset, &limit, &scratch, &record) < 100) return false;
  into.LoadFromRecord(record);
  return true;
}

void CRKDib::PrepareJpegTables(double scale) {
  RkInitCHuffmanTable(table());
  RkInitLHuffmanTable(table());
  RkSetQuantizeScaleFactor(table(), &scale, &scale);
  // corvid-convert's --quality: libjpeg's tables in place of the scale's.
  if (settings_.jpegQuality > 0) InstallQualityTables(table(), settings_.jpegQuality);
}

int16_t CRKDib::EncodeJpeg(uint8_t* buffer, uint32_t size, double scale, ImageBlkAttrRec& image) {
  PrepareJpegTables(scale);

  // Four 256-byte text slots and the date: the time of saving goes into
  // all three Exif dates; the opened file's shooting information is not
  // carried over.
  HeapBytes texts;
  ExifTagInfoRec record{};
  if (settings_.fileStyle == FileStyle::Exif) {
    texts = AllocZeroed(sizeof(ExifTextBlock));
    if (!texts) return RK_ERR_MEMORY;
    lib::InitExifRecord(&record);
    FillExifTexts(record, *reinterpret_cast<ExifTextBlock*>(texts.get()), settings_,
                  QDateTime::currentDateTime());
  }

  image.data = buffer;
  image.dataLength = size;
  image.format = kJpegFormat;
  image.restartInterval = 0;
  int16_t result;
  switch (settings_.fileStyle) {
    case FileStyle::Progressive: result = lib::ExportProgressiveJfif(table(), &image); break;
    case FileStyle::Exif:
      result = lib::ExportExif(table(), &scale, &record, &image);
      if (result == RK_OK && settings_.jpegQuality > 0) result = RecodeWithQualityTables(buffer, size, image);
      break;
    case FileStyle::Normal:
    default: result = lib::ExportJfif(table(), &image); break;
  }
  RkSetGlobalComment(table(), nullptr, 0);
  return result;
}

// The Exif writer sets the picture's tables from the scale itself, over
// the --quality tables. The Exif block it made (texts, dates, thumbnail)
// does not depend on them, so the picture is coded once more behind that
// same block with the quality's tables: the JFIF writer's APP1 form.
int16_t CRKDib::RecodeWithQualityTables(uint8_t* buffer, uint32_t size, ImageBlkAttrRec& image) {
  std::vector<uint8_t> block;
  if (!CopyExifBlock(buffer, image.dataLength, block)) return RK_ERR_FORMAT;
  InstallQualityTables(table(), settings_.jpegQuality);
  RkSetGlobalComment(table(), block.data(), static_cast<uint32_t>(block.size()));
  image.data = buffer;
  image.dataLength = size;
  image.format = kJpegFormat;
  image.methodParam = RK_METHOD_PARAM_EXIF;
  const int16_t result = lib::ExportJfif(table(), &image);
  image.methodParam = 0;
  RkSetGlobalComment(table(), nullptr, 0);
  return result;
}

uint32_t CRKDib::JpegCapacity(const ImageBlkAttrRec& image) {
  ImageBlkAttrRec probe = image;
  probe.format = kJpegFormat;
  probe.restartInterval = 0;
  PrepareJpegTables(settings_.quantScale());
  // The baseline writer's bound: every header segment, 1665 bits a block
  // with every byte stuffed, EOI.
  const int32_t bound = lib::JfifExportSize(table(), &probe);
  if (bound <= 0) return 0;
  const uint64_t half = Info().sizeImage / 2;
  uint64_t capacity = std::max<uint64_t>(half, static_cast<uint64_t>(bound));
  switch (settings_.fileStyle) {
    case FileStyle::Progressive:
      // The progressive script codes the same coefficients in 7 scans with
      // optimised tables of codes up to 16 bits. A block's AC coefficients
      // fall into two bands (1-5, 6-63), each of which may end in an
      // end-of-band run (a code and up to 14 bits, where the band's last
      // coefficient would have cost 26): at most 8 bits a block more than
      // the baseline's 1665, 2 bytes once stuffed; bound / 64 gives every
      // block at least 416 / 64 = 6.5. Each scan adds a DHT of at most two
      // full tables (4 + 2 x 273 bytes), a SOS (at most 14) and 2 bytes of
      // stuffed padding: 7 x 566 = 3962.
      capacity = std::max<uint64_t>(half, uint64_t(bound) + uint64_t(bound) / 64 + kProgressiveScanBytes);
      break;
    case FileStyle::Exif:
      // The Exif file is the JFIF file with its APP0 replaced by one APP1
      // segment of at most 2 + 65535 bytes, whatever its texts and thumbnail:
      // a 64 x 64 picture (6 KB of pixels) needs the 64 KB too.
      capacity += RK_EXIF_EXPORT_EXTRA;
      break;
    case FileStyle::Normal:
    default: break;
  }
  // The library takes 32-bit capacities.
  return capacity > UINT32_MAX ? 0 : static_cast<uint32_t>(capacity);
}

bool CRKDib::EncodeBmpFile(Encoded& out) {
  // "BM", the file size 54 + stride x height, two zero words, the pixel
  // offset 54, then the pixel block as it is.
  out.writeFailure = Message::BmpWriteError;
  if (!BmpBytes(out.bmp)) {
    ui_.Report(Message::MemoryError);
    return false;
  }
  out.data = out.bmp.data();
  out.size = out.bmp.size();
  return true;
}

bool CRKDib::EncodeJpegFile(Encoded& out) {
  const uint8_t* kept = KeptStream();
  if (kept != nullptr && settings_.alwaysCompress == 0) {
    // The stream of the opened file, unchanged: no new Exif, no new settings.
    out.owned.reset();
    out.data = kept;
    out.size = static_cast<size_t>(streamLength_);
    out.copiedStream = true;
    return true;
  }
  if (!moduleTable_) {
    ui_.Report(Message::MemoryError);
    return false;
  }
  ImageBlkAttrRec image{};
  DescribePicture(image);
  const uint32_t capacity = JpegCapacity(image);
  if (capacity == 0) {
    ui_.Report(Message::ExportError);
    return false;
  }
  HeapBytes buffer = AllocZeroed(capacity);
  if (!buffer) {
    ui_.Report(Message::MemoryError);
    return false;
  }
  int16_t result;
  {
    BusyScope busy(ui_);
    result = EncodeJpeg(buffer.get(), capacity, settings_.quantScale(), image);
  }
  if (!out.Take(result, buffer, image.dataLength, capacity)) {
    ui_.Report(Message::ExportError);
    return false;
  }
  return true;
}

bool CRKDib::EncodeTiffFile(Encoded& out) {
  if (!moduleTable_) {
    ui_.Report(Message::MemoryError);
    return false;
  }
  const auto* comment = reinterpret_cast<const uint8_t*>(kTiffComment);
  ImageBlkAttrRec image{};
  DescribePicture(image);
  // Sized with the same comment set as for the export itself.
  RkSetGlobalComment(table(), comment, kTiffCommentLength);
  const int32_t size = lib::TiffExportSize(table(), &image);
  RkSetGlobalComment(table(), nullptr, 0);
  if (size <= 0) {
    ui_.Report(Message::ExportError);
    return false;
  }
  HeapBytes buffer = AllocZeroed(static_cast<size_t>(size));
  if (!buffer) {
    ui_.Report(Message::MemoryError);
    return false;
  }
  int16_t result;
  {
    BusyScope busy(ui_);
    image.data = buffer.get();
    image.dataLength = static_cast<uint32_t>(size);
    RkSetGlobalComment(table(), comment, kTiffCommentLength);
    result = lib::ExportTiff(table(), &image);
    RkSetGlobalComment(table(), nullptr, 0);
  }
  if (!out.Take(result, buffer, image.dataLength, static_cast<uint32_t>(size))) {
    ui_.Report(Message::ExportError);
    return false;
  }
  return true;
}

bool CRKDib::Encode(SaveFormat format, Encoded& out) {
  switch (format) {
    case SaveFormat::Bmp: return EncodeBmpFile(out);
    case SaveFormat::Jpeg: return EncodeJpegFile(out);
    case SaveFormat::Tiff: return EncodeTiffFile(out);
  }
  return false;
}

bool CRKDib::EncodeForName(const QString& fileName, Encoded& out) {
  const QString name = fileName.mid(fileName.lastIndexOf(QLatin1Char('/')) + 1);
  // Exactly these spellings, as substrings: "photo.Jpg" is none of them.
  if (NameHas(name, ".BMP", ".bmp")) return Encode(SaveFormat::Bmp, out);
  const bool jpeg = NameHas(name, ".JPG", ".jpg");
  const bool tiff = NameHas(name, ".TIF", ".tif");
  if (!jpeg && !tiff) {
    ui_.Report(Message::FormatError);
    return false;
  }
  // A name with both extensions is encoded both ways; the TIFF bytes win.
  if (jpeg && !Encode(SaveFormat::Jpeg, out)) return false;
  if (tiff && !Encode(SaveFormat::Tiff, out)) return false;
  return true;
}

bool CRKDib::SaveFile(const QString& path) {
  if (!pixelBlock_) return false;
  Encoded encoded;
  if (!EncodeForName(path, encoded)) return false;
  const ReplaceResult written = ReplaceFileWhole(path, encoded.data, encoded.size);
  switch (written.outcome) {
    case ReplaceResult::Outcome::kWritten: return true;
    case ReplaceResult::Outcome::kCannotCreate:
      ui_.ReportFile(Message::CantFileCreate, path, written.reason);
      return false;
    case ReplaceResult::Outcome::kWriteFailed:
    default:
      ui_.ReportFile(encoded.writeFailure, path, written.reason);
      return false;
  }
}

bool CRKDib::ExportFile(QIODevice& file, const QString& fileName) {
  if (!pixelBlock_) return false;
  Encoded encoded;
  if (!EncodeForName(fileName, encoded)) return false;
  if (!WriteAll(file, encoded.data, encoded.size)) {
    ui_.Report(encoded.writeFailure);
    return false;
  }
  return true;
}

bool CRKDib::AutoConvert(const QString& sourcePath) {
  conversion_ = Conversion();
  if (!pixelBlock_ || sourcePath.isEmpty()) return false;
  conversion_.attempted = true;
  const Target target = settings_.target();
  Encoded encoded;
  const SaveFormat format = target == Target::Jpeg   ? SaveFormat::Jpeg
                            : target == Target::Tiff ? SaveFormat::Tiff
                                                     : SaveFormat::Bmp;
  if (!Encode(format, encoded)) return false;
  const CreateResult created =
      CreateNewFile(OutputPrefix(sourcePath, settings_.outputPath),
                    OutputFileName(sourcePath, target), encoded.data, encoded.size);
  if (!created.ok) {
    ui_.ReportFile(created.failure, created.path, created.reason);
    return false;
  }
  conversion_.ok = true;
  conversion_.copiedStream = encoded.copiedStream;
  conversion_.outputPath = created.path;
  return true;
}

}  // namespace corvid
