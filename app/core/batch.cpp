#include "batch.h"

#include <QCommandLineParser>
#include <QFileInfo>
#include <QThread>
#include <algorithm>
#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

#include "jpeg_quality.h"
#include "rk_dib.h"

namespace corvid {
namespace {

// Collects the messages of one file's conversion as the lines to print:
// "SOURCE: MESSAGE", or for a file that could not be opened or written,
// "PATH: MESSAGE (REASON)".
class JobMessages : public UserInterface {
 public:
  explicit JobMessages(QString source) : source_(std::move(source)) {}
  void Report(Message message) override { lines_ << source_ + QStringLiteral(": ") + MessageText(message); }
  void ReportFile(Message message, const QString& path, const QString& reason) override {
    QString line = path + QStringLiteral(": ") + MessageText(message);
    if (!reason.isEmpty()) line += QStringLiteral(" (") + reason + QLatin1Char(')');
    lines_ << line;
  }
  QString Text() const { return lines_.join(QLatin1Char('\n')); }
  bool Empty() const { return lines_.isEmpty(); }

 private:
  QString source_;
  QStringList lines_;
};

const char* const kHelpIntro =
    "Converts CAM, JPEG and TIFF pictures into JPEG, TIFF or BMP files.\n"
    "Existing files are never overwritten: a taken name gets a \"~001_\" prefix, then \"~002_\"...";

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
  const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                QStringLiteral("Show this help."));
  const QCommandLineOption version({QStringLiteral("V"), QStringLiteral("version")},
                                   QStringLiteral("Show the version."));
  parser.addOptions({to, style, scale, quality, camSize, always, out, jobs, info, quiet, help, version});
  parser.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("Pictures to convert."),
                               QStringLiteral("FILE..."));

  auto usage = [&](const QString& complaint) {
    *text = complaint + QStringLiteral("\nTry 'corvid-convert --help'.");
    return ParseResult::UsageError;
  };
  if (!parser.parse(args)) return usage(parser.errorText());
  if (parser.isSet(help)) {
    *text = parser.helpText();
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
  o.quiet = parser.isSet(quiet);
  o.files = parser.positionalArguments();
  if (o.files.isEmpty()) return usage(QStringLiteral("No files given."));
  *options = o;
  return ParseResult::Run;
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
  const int count = static_cast<int>(options.files.size());

  auto job = [&]() {
    for (int i = next++; i < count; i = next++) {
      const QString& source = options.files[i];
      JobMessages messages(source);
      CRKDib image(messages, CRKDib::Profile::Ignore);
      image.settings() = options.settings;
      const bool imported = image.ImportFile(source);
      if (imported && options.info) {
        QStringList lines;
        int16_t index = 0;
        for (QString line = image.Exif().NextLine(&index); !line.isEmpty();
             line = image.Exif().NextLine(&index)) {
          lines << source + QStringLiteral(": ") + line;
        }
        if (lines.isEmpty()) lines << source + QStringLiteral(": no Exif information");
        print(output.out, lines.join(QLatin1Char('\n')));
        ++converted;
      } else if (imported && image.LastConversion().ok) {
        if (!options.quiet) {
          print(output.out, source + QStringLiteral(" -> ") + image.LastConversion().outputPath);
        }
        if (image.LastConversion().copiedStream) copiedStream = true;
        ++converted;
      } else {
        if (messages.Empty()) messages.Report(Message::FormatError);
        print(output.err, messages.Text());
        ++failed;
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
