#include "batch.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QThread>
#include <cmath>
#include <algorithm>
#include <atomic>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

#include "jpeg_quality.h"
#include "json_line.h"
#include "rk_dib.h"

namespace corvid {
namespace {

// Collects the messages of one file's conversion as the lines to print:
// "SOURCE: MESSAGE", or for a file that could not be opened or written,
// "PATH: MESSAGE (REASON)".
class JobMessages : public UserInterface {
 public:
  explicit JobMessages(QString source) : source_(std::move(source)) {}
  void Report(Message message) override {
    Note(message, QString());
    lines_ << source_ + QStringLiteral(": ") + MessageText(message);
  }
  void ReportFile(Message message, const QString& path, const QString& reason) override {
    Note(message, reason);
    QString line = path + QStringLiteral(": ") + MessageText(message);
    if (!reason.isEmpty()) line += QStringLiteral(" (") + reason + QLatin1Char(')');
    lines_ << line;
  }
  QString Text() const { return lines_.join(QLatin1Char('\n')); }
  bool Empty() const { return lines_.isEmpty(); }
  // The first message with its reason: "Can't Open File (No such file or directory)".
  const QString& First() const { return first_; }

 private:
  void Note(Message message, const QString& reason) {
    if (!first_.isEmpty()) return;
    first_ = MessageText(message);
    if (!reason.isEmpty()) first_ += QStringLiteral(" (") + reason + QLatin1Char(')');
  }
  QString source_;
  QStringList lines_;
  QString first_;
};

// "#RRGGBB", "RRGGBB", "R,G,B" (0..255 each), "black" or "white".
bool ParseColour(const QString& text, uint8_t rgb[3]) {
  if (text == QLatin1String("black") || text == QLatin1String("white")) {
    const uint8_t v = text == QLatin1String("white") ? 255 : 0;
    rgb[0] = rgb[1] = rgb[2] = v;
    return true;
  }
  static const QRegularExpression hex(QStringLiteral("^#?([0-9A-Fa-f]{2})([0-9A-Fa-f]{2})([0-9A-Fa-f]{2})$"));
  static const QRegularExpression triple(QStringLiteral("^(\\d{1,3}),(\\d{1,3}),(\\d{1,3})$"));
  if (const auto m = hex.match(text); m.hasMatch()) {
    for (int i = 0; i < 3; ++i) rgb[i] = static_cast<uint8_t>(m.captured(i + 1).toUInt(nullptr, 16));
    return true;
  }
  if (const auto m = triple.match(text); m.hasMatch()) {
    for (int i = 0; i < 3; ++i) {
      const uint value = m.captured(i + 1).toUInt();
      if (value > 255) return false;
      rgb[i] = static_cast<uint8_t>(value);
    }
    return true;
  }
  return false;
}

bool AllDigits(const QString& text) {
  if (text.isEmpty()) return false;
  for (const QChar c : text) {
    if (c < QLatin1Char('0') || c > QLatin1Char('9')) return false;
  }
  return true;
}

// --sharpen's level is optional, which the parser does not know: each
// --sharpen becomes --sharpen=LEVEL here (the next argument when it is a
// whole number, else 4). Nothing after "--" is an option.
QStringList WithSharpenLevels(const QStringList& args) {
  QStringList out;
  for (qsizetype i = 0; i < args.size(); ++i) {
    if (args[i] == QLatin1String("--")) {
      out += args.mid(i);
      break;
    }
    if (args[i] != QLatin1String("--sharpen")) {
      out << args[i];
    } else if (i + 1 < args.size() && AllDigits(args[i + 1])) {
      out << QStringLiteral("--sharpen=") + args[++i];
    } else {
      out << QStringLiteral("--sharpen=%1").arg(kDefaultSharpenLevel);
    }
  }
  return out;
}

const QStringList kPictureSuffixes = {QStringLiteral("cam"), QStringLiteral("jpg"), QStringLiteral("jpeg"),
                                      QStringLiteral("jpe"), QStringLiteral("jfif"), QStringLiteral("tif"),
                                      QStringLiteral("tiff")};

void Walk(const QString& folder, QStringList& files) {
  const QDir dir(folder);
  const QFileInfoList entries =
      dir.entryInfoList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::DirsLast);
  for (const QFileInfo& entry : entries) {
    if (entry.isDir()) {
      // A link to a folder could lead back up the tree.
      if (!entry.isSymLink()) Walk(entry.filePath(), files);
    } else if (kPictureSuffixes.contains(entry.suffix().toLower())) {
      files << entry.filePath();
    }
  }
}

QString KindName(SourceKind kind) {
  switch (kind) {
    case SourceKind::Cam: return QStringLiteral("CAM");
    case SourceKind::CamJpeg: return QStringLiteral("CAM-JPEG");
    case SourceKind::Jpeg: return QStringLiteral("JPEG");
    case SourceKind::Tiff: return QStringLiteral("TIFF");
    case SourceKind::None: break;
  }
  return QString();
}

const char* const kHelpIntro =
    "Converts CAM, JPEG and TIFF pictures into JPEG, TIFF or BMP files.\n"
    "Existing files are never overwritten: a taken name gets a \"~001_\" prefix, then \"~002_\"...\n"
    "The image operations (--rotate, --resize, --sharpen, --denoise, --auto-white-balance, --blur)\n"
    "are applied in the order given, before encoding. A FILE of - reads the paths from standard input.";

}  // namespace

ParseResult ParseConvertArgs(const QStringList& args, ConvertOptions* options, QString* text) {
  QCommandLineParser parser;
  parser.setApplicationDescription(QString::fromLatin1(kHelpIntro));
  parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsCompactedShortOptions);
  const QCommandLineOption to({QStringLiteral("t"), QStringLiteral("to")},
                              QStringLiteral("Output format: jpg, tif or bmp (default jpg)."),
                              QStringLiteral("format"), QStringLiteral("jpg"));
  const QCommandLineOption style({QStringLiteral("s"), QStringLiteral("style")},
                                 QStringLiteral("JPEG style: normal, progressive or exif (default normal)."),
                                 QStringLiteral("style"), QStringLiteral("normal"));
  const QCommandLineOption scale(QStringLiteral("scale"),
                                 QStringLiteral("Compress Scale 1..128: the T.81 tables times N/128, so a higher "
                                                "number gives a smaller, coarser file (default 32)."),
                                 QStringLiteral("N"), QStringLiteral("32"));
  const QCommandLineOption quality(QStringLiteral("quality"),
                                   QStringLiteral("JPEG quality 1..100 as libjpeg's: higher is better "
                                                  "(replaces --scale)."),
                                   QStringLiteral("Q"));
  const QCommandLineOption camSize(QStringLiteral("cam-size"),
                                   QStringLiteral("CAM output size: 480x360, 480x240 or 320x240 (default 480x360)."),
                                   QStringLiteral("WxH"), QStringLiteral("480x360"));
  const QCommandLineOption always(QStringLiteral("always-compress"),
                                  QStringLiteral("Encode JPEG sources anew instead of copying their stream."));
  const QCommandLineOption out({QStringLiteral("o"), QStringLiteral("out")},
                               QStringLiteral("Output folder (default: beside each source)."),
                               QStringLiteral("DIR"));
  const QCommandLineOption jobs({QStringLiteral("j"), QStringLiteral("jobs")},
                                QStringLiteral("Files converted at once (default: the number of cores)."),
                                QStringLiteral("N"));
  const QCommandLineOption info(QStringLiteral("info"),
                                QStringLiteral("Print each file's Exif lines instead of converting."));
  const QCommandLineOption quiet(QStringLiteral("quiet"),
                                 QStringLiteral("Print only failures (and --info lines): no per-file lines, "
                                                "no summary."));
  const QCommandLineOption json(QStringLiteral("json"),
                                QStringLiteral("With --info: one JSON object per file, one per line (path, size, "
                                               "type, width, height, exif)."));
  const QCommandLineOption recursive({QStringLiteral("r"), QStringLiteral("recursive")},
                                     QStringLiteral("Folders given stand for the pictures in them and their "
                                                    "subfolders (.cam, .jpg, .jpeg, .tif, .tiff...)."));
  const QCommandLineOption nul({QStringLiteral("0"), QStringLiteral("null")},
                               QStringLiteral("The paths read for - are separated by NUL bytes, not lines."));
  const QCommandLineOption rotate(QStringLiteral("rotate"),
                                  QStringLiteral("Turn by DEG degrees clockwise (negative: counter-clockwise) "
                                                 "into the turned picture's bounding box."),
                                  QStringLiteral("DEG"));
  const QCommandLineOption background(QStringLiteral("background"),
                                      QStringLiteral("Colour of the corners --rotate uncovers: #RRGGBB, R,G,B, "
                                                     "black or white (default white)."),
                                      QStringLiteral("COLOUR"), QStringLiteral("white"));
  const QCommandLineOption resize(QStringLiteral("resize"),
                                  QStringLiteral("Resample to WxH pixels, or to N% of each side (rounded down)."),
                                  QStringLiteral("WxH|N%"));
  const QCommandLineOption sharpen(QStringLiteral("sharpen"),
                                   QStringLiteral("Sharpen edges, LEVEL 1..10 (default 4)."),
                                   QStringLiteral("LEVEL"));
  const QCommandLineOption denoise(QStringLiteral("denoise"),
                                   QStringLiteral("Remove noise: the median of each pixel's 3x3 neighbours."));
  const QCommandLineOption whiteBalance(QStringLiteral("auto-white-balance"),
                                        QStringLiteral("Remove a colour cast measured on the grey areas."));
  const QCommandLineOption blur(QStringLiteral("blur"),
                                QStringLiteral("Blur: the mean over a diamond of RADIUS pixels (0..32767)."),
                                QStringLiteral("RADIUS"));
  const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                QStringLiteral("Show this help."));
  const QCommandLineOption version({QStringLiteral("V"), QStringLiteral("version")},
                                   QStringLiteral("Show the version."));
  parser.addOptions({to, style, scale, quality, camSize, always, out, jobs, info, json, quiet, recursive,
                     nul, rotate, background, resize, sharpen, denoise, whiteBalance, blur, help, version});
  parser.addPositionalArgument(QStringLiteral("FILE"),
                               QStringLiteral("Pictures to convert; - reads their paths from standard input."),
                               QStringLiteral("FILE..."));

  auto usage = [&](const QString& complaint) {
    *text = complaint + QStringLiteral("\nTry 'corvid-convert --help'.");
    return ParseResult::UsageError;
  };
  if (!parser.parse(WithSharpenLevels(args))) return usage(parser.errorText());
  if (parser.isSet(help)) {
    // The level is optional, which the parser's help cannot say.
    *text = parser.helpText().replace(QStringLiteral("--sharpen <LEVEL>"), QStringLiteral("--sharpen [LEVEL]"));
    return ParseResult::Help;
  }
  if (parser.isSet(version)) {
    *text = QStringLiteral("corvid-convert ") + QLatin1String(CORVID_VERSION_TEXT);
    return ParseResult::Version;
  }

  ConvertOptions o;
  Settings& s = o.settings;
  const QString format = parser.value(to);
  if (format == QLatin1String("jpg")) {
    s.storeType = kAutoConversionOn | static_cast<uint32_t>(Target::Jpeg);
  } else if (format == QLatin1String("tif")) {
    s.storeType = kAutoConversionOn | static_cast<uint32_t>(Target::Tiff);
  } else if (format == QLatin1String("bmp")) {
    s.storeType = kAutoConversionOn | static_cast<uint32_t>(Target::Bmp);
  } else {
    return usage(QStringLiteral("Unknown output format '%1' (jpg, tif or bmp).").arg(format));
  }
  const QString styleName = parser.value(style);
  if (styleName == QLatin1String("normal")) {
    s.fileStyle = FileStyle::Normal;
  } else if (styleName == QLatin1String("progressive")) {
    s.fileStyle = FileStyle::Progressive;
  } else if (styleName == QLatin1String("exif")) {
    s.fileStyle = FileStyle::Exif;
  } else {
    return usage(QStringLiteral("Unknown style '%1' (normal, progressive or exif).").arg(styleName));
  }
  bool ok = false;
  const int scaleValue = parser.value(scale).toInt(&ok);
  if (!ok || scaleValue < kMinCompressScale || scaleValue > kMaxCompressScale) {
    return usage(QStringLiteral("The scale must be a number from 1 to 128."));
  }
  s.compressScale = static_cast<int16_t>(scaleValue);
  if (parser.isSet(quality)) {
    if (parser.isSet(scale)) return usage(QStringLiteral("Give --scale or --quality, not both."));
    s.jpegQuality = parser.value(quality).toInt(&ok);
    if (!ok || s.jpegQuality < kMinJpegQuality || s.jpegQuality > kMaxJpegQuality) {
      return usage(QStringLiteral("The quality must be a number from 1 to 100."));
    }
  }
  o.tablesGiven = parser.isSet(scale) || parser.isSet(quality);
  const QString size = parser.value(camSize);
  if (size == QLatin1String("480x360")) {
    s.setCamSizeCode(0);
  } else if (size == QLatin1String("480x240")) {
    s.setCamSizeCode(1);
  } else if (size == QLatin1String("320x240")) {
    s.setCamSizeCode(2);
  } else {
    return usage(QStringLiteral("Unknown CAM size '%1' (480x360, 480x240 or 320x240).").arg(size));
  }
  s.alwaysCompress = parser.isSet(always) ? 1 : 0;
  if (parser.isSet(out)) {
    QString folder = parser.value(out);
    if (folder.isEmpty() || !QFileInfo(folder).isDir()) {
      return usage(QStringLiteral("The output folder '%1' does not exist.").arg(folder));
    }
    if (!folder.endsWith(QLatin1Char('/'))) folder += QLatin1Char('/');
    s.outputPath = folder;
  }
  o.jobs = std::max(1, QThread::idealThreadCount());
  if (parser.isSet(jobs)) {
    o.jobs = parser.value(jobs).toInt(&ok);
    if (!ok || o.jobs < 1) return usage(QStringLiteral("The number of jobs must be 1 or more."));
  }
  o.info = parser.isSet(info);
  if (o.info) s.storeType &= ~kAutoConversionOn;
  o.json = parser.isSet(json);
  if (o.json && !o.info) return usage(QStringLiteral("--json goes with --info."));
  o.quiet = parser.isSet(quiet);
  o.recursive = parser.isSet(recursive);
  o.files = parser.positionalArguments();
  if (o.files.isEmpty()) return usage(QStringLiteral("No files given."));
  o.nulSeparated = parser.isSet(nul);
  if (o.nulSeparated && !o.files.contains(QStringLiteral("-"))) {
    return usage(QStringLiteral("-0 says how the paths read for - are separated; no - was given."));
  }

  // The operations, in the order of the command line: the parser gives the
  // option names in that order and each option's values in theirs.
  uint8_t fill[3];
  if (!ParseColour(parser.value(background), fill)) {
    return usage(QStringLiteral("Unknown colour '%1' (#RRGGBB, R,G,B, black or white).").arg(parser.value(background)));
  }
  std::map<QString, QStringList> values;
  for (const QCommandLineOption* option : {&rotate, &resize, &sharpen, &blur}) {
    values[option->names().first()] = parser.values(*option);
  }
  static const QRegularExpression sizePattern(QStringLiteral("^(\\d+)x(\\d+)$"));
  static const QRegularExpression percentPattern(QStringLiteral("^(\\d+)%$"));
  for (const QString& name : parser.optionNames()) {
    ImageOperation op;
    QString value;
    if (auto it = values.find(name); it != values.end()) value = it->second.takeFirst();
    if (name == QLatin1String("rotate")) {
      op.kind = ImageOperation::Kind::Rotate;
      op.degrees = value.toDouble(&ok);
      if (!ok || !std::isfinite(op.degrees)) {
        return usage(QStringLiteral("The angle must be a number of degrees, not '%1'.").arg(value));
      }
      std::copy(fill, fill + 3, op.background);
    } else if (name == QLatin1String("resize")) {
      const auto sized = sizePattern.match(value);
      const auto scaled = percentPattern.match(value);
      bool widthOk = false, heightOk = false;
      if (sized.hasMatch()) {
        op.kind = ImageOperation::Kind::Resize;
        op.width = sized.captured(1).toUInt(&widthOk);
        op.height = sized.captured(2).toUInt(&heightOk);
        ok = widthOk && heightOk && op.width >= 1 && op.height >= 1 && op.width <= kMaxSide &&
             op.height <= kMaxSide;
      } else if (scaled.hasMatch()) {
        op.kind = ImageOperation::Kind::ResizePercent;
        op.percent = scaled.captured(1).toUInt(&ok);
        ok = ok && op.percent >= 1 && op.percent <= 100 * kMaxSide;
      } else {
        ok = false;
      }
      if (!ok) {
        return usage(QStringLiteral("The size must be WxH (1 to 65535 each) or N% (N from 1), not '%1'.").arg(value));
      }
    } else if (name == QLatin1String("sharpen")) {
      op.kind = ImageOperation::Kind::Sharpen;
      op.level = value.toInt(&ok);
      if (!ok || op.level < kMinSharpenLevel || op.level > kMaxSharpenLevel) {
        return usage(QStringLiteral("The sharpen level must be a number from 1 to 10, not '%1'.").arg(value));
      }
    } else if (name == QLatin1String("blur")) {
      op.kind = ImageOperation::Kind::Blur;
      op.radius = value.toInt(&ok);
      if (!ok || op.radius < 0 || op.radius > kMaxBlurRadius) {
        return usage(QStringLiteral("The blur radius must be a number from 0 to 32767, not '%1'.").arg(value));
      }
    } else if (name == QLatin1String("denoise")) {
      op.kind = ImageOperation::Kind::Denoise;
    } else if (name == QLatin1String("auto-white-balance")) {
      op.kind = ImageOperation::Kind::AutoWhiteBalance;
    } else {
      continue;
    }
    o.operations.push_back(op);
  }
  *options = o;
  return ParseResult::Run;
}

QStringList CollectFiles(const ConvertOptions& options, const std::function<QByteArray()>& readInput) {
  QStringList files;
  bool inputRead = false;
  for (const QString& given : options.files) {
    if (given == QLatin1String("-")) {
      // Standard input is read once; a second "-" finds it empty.
      if (inputRead || !readInput) continue;
      inputRead = true;
      const QByteArray list = readInput();
      for (QByteArray entry : list.split(options.nulSeparated ? '\0' : '\n')) {
        if (!options.nulSeparated && entry.endsWith('\r')) entry.chop(1);
        if (!entry.isEmpty()) files << QFile::decodeName(entry);
      }
    } else if (options.recursive && QFileInfo(given).isDir()) {
      Walk(given, files);
    } else {
      files << given;
    }
  }
  return files;
}

int RunBatch(const ConvertOptions& options, const BatchOutput& output) {
  std::mutex printing;
  auto print = [&](const std::function<void(const QString&)>& to, const QString& line) {
    std::lock_guard<std::mutex> lock(printing);
    to(line);
  };
  std::atomic<int> next{0};
  std::atomic<int> converted{0};
  std::atomic<int> failed{0};
  std::atomic<bool> copiedStream{false};
  int done = 0;  // under `printing`
  const int count = static_cast<int>(options.files.size());
  // Conversion is run here, after the operations, not by the import.
  Settings importSettings = options.settings;
  importSettings.storeType &= ~kAutoConversionOn;

  auto convert = [&](const QString& source, CRKDib& image) {
    for (const ImageOperation& op : options.operations) {
      if (!image.ApplyOperation(op)) return false;
    }
    return image.AutoConvert(QFileInfo(source).absoluteFilePath()) && image.LastConversion().ok;
  };

  auto job = [&]() {
    for (int i = next++; i < count; i = next++) {
      const QString& source = options.files[i];
      JobMessages messages(source);
      CRKDib image(messages, CRKDib::Profile::Ignore);
      image.settings() = importSettings;
      const bool imported = image.ImportFile(source);
      if (imported && options.info && options.json) {
        JsonObject line;
        line.Add("path", source)
            .Add("size", static_cast<int64_t>(QFileInfo(source).size()))
            .Add("type", KindName(image.Kind()))
            .Add("width", int64_t{image.Picture()->width()})
            .Add("height", int64_t{image.Picture()->height()});
        if (image.Exif().HasInfo()) line.AddJson("exif", image.Exif().ToJson());
        print(output.out, line.Text());
        ++converted;
      } else if (imported && options.info) {
        QStringList lines;
        int16_t index = 0;
        for (QString line = image.Exif().NextLine(&index); !line.isEmpty();
             line = image.Exif().NextLine(&index)) {
          lines << source + QStringLiteral(": ") + line;
        }
        if (lines.isEmpty()) lines << source + QStringLiteral(": no Exif information");
        print(output.out, lines.join(QLatin1Char('\n')));
        ++converted;
      } else if (imported && convert(source, image)) {
        if (!options.quiet) {
          print(output.out, source + QStringLiteral(" -> ") + image.LastConversion().outputPath);
        }
        if (image.LastConversion().copiedStream) copiedStream = true;
        ++converted;
      } else {
        if (messages.Empty()) messages.Report(Message::FormatError);
        if (options.json) {
          print(output.out, JsonObject().Add("path", source).Add("error", messages.First()).Text());
        }
        print(output.err, messages.Text());
        ++failed;
      }
      if (output.progress) {
        std::lock_guard<std::mutex> lock(printing);
        output.progress(++done, count);
      }
    }
  };

  const int threads = std::min(options.jobs, std::max(count, 1));
  std::vector<std::thread> pool;
  for (int t = 1; t < threads; ++t) pool.emplace_back(job);
  job();
  for (std::thread& t : pool) t.join();

  if (!options.quiet && options.tablesGiven && copiedStream) {
    print(output.err, QStringLiteral("note: JPEG sources were copied unchanged; "
                                     "--always-compress re-encodes them with the given scale or quality"));
  }
  if (!options.quiet) {
    const QString verb = options.info ? QStringLiteral("read") : QStringLiteral("converted");
    print(output.err, QStringLiteral("%1 of %2 files %3, %4 failed")
                          .arg(converted.load())
                          .arg(count)
                          .arg(verb)
                          .arg(failed.load()));
  }
  return failed.load() == 0 ? 0 : 1;
}

}  // namespace corvid
