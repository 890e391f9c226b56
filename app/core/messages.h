// What the core tells the user, and the one interface it tells it through.
//
// The core never shows anything itself: every operation that fails reports
// one message through UserInterface and returns false. The window shows the
// text in a message box with an OK button, corvid-convert prints it on
// stderr, and the tests collect the ids.
#pragma once

#include <QString>

namespace corvid {

// The program's string table. The numbers are the table ids the texts have
// always had (the BMP texts never had ids of their own).
enum class Message {
  CantFileCreate = 2000,    // the chosen file cannot be opened for writing (Save)
  WriteError = 2002,        // writing a file's bytes failed
  MemoryError = 2003,       // an encoding or picture buffer cannot be allocated
  FormatError = 2004,       // a file is not recognised / a save name has no known extension
  ExportError = 2005,       // the library failed to encode
  CantOpenFile = 2006,      // a file cannot be opened or an auto-conversion output created
  InvalidFileName = 2007,   // auto conversion: the system rejects the output name
  FileNameOverflow = 2008,  // auto conversion: every "~NNN_" name up to 998 exists
  OperationError = 2009,    // corvid-convert: an image operation's result is too large, or refused
  BmpShortHeader = 1,       // fewer than 14 bytes at the start of a BMP
  BmpNotBitmap = 2,         // the first two bytes are not "BM" (or the header is unusable)
  BmpReadError = 3,         // a file error while reading a BMP
  BmpWriteError = 4,        // a file error while writing a BMP
};

// The text shown for a message, exactly as the string table holds it.
QString MessageText(Message message);

class UserInterface {
 public:
  virtual ~UserInterface() = default;
  // Shows one message; the operation that reports it then fails.
  virtual void Report(Message message) = 0;
  // The same for a failure with one file: the file's path and the system's
  // reason (empty when it gave none). The window shows only the message,
  // as it always has; corvid-convert names the path and the reason.
  virtual void ReportFile(Message message, const QString& /*path*/, const QString& /*reason*/) {
    Report(message);
  }
  // Busy indicator around library work (the window's wait cursor).
  virtual void Busy(bool /*on*/) {}
};

// Shows the busy indicator for the lifetime of the scope, on every path.
class BusyScope {
 public:
  explicit BusyScope(UserInterface& ui) : ui_(ui) { ui_.Busy(true); }
  ~BusyScope() { ui_.Busy(false); }
  BusyScope(const BusyScope&) = delete;
  BusyScope& operator=(const BusyScope&) = delete;

 private:
  UserInterface& ui_;
};

}  // namespace corvid
