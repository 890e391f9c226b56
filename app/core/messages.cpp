#include "messages.h"

namespace corvid {

QString MessageText(Message message) {
  switch (message) {
    case Message::CantFileCreate: return QStringLiteral("Can't File Create");
    case Message::WriteError: return QStringLiteral("Write Error");
    case Message::MemoryError: return QStringLiteral("Memory Error");
    case Message::FormatError: return QStringLiteral("Format Error");
    case Message::ExportError: return QStringLiteral("Export Error");
    case Message::CantOpenFile: return QStringLiteral("Can't Open File");
    case Message::InvalidFileName: return QStringLiteral("Invalid File Name");
    case Message::FileNameOverflow: return QStringLiteral("File Name Overflow");
    case Message::OperationError: return QStringLiteral("Operation Error");
    // The two read texts differ only in the case of the first letter.
    case Message::BmpShortHeader: return QStringLiteral("read error 1");
    case Message::BmpNotBitmap: return QStringLiteral("Invalid bitmap file");
    case Message::BmpReadError: return QStringLiteral("Read error 1");
    case Message::BmpWriteError: return QStringLiteral("write error");
  }
  return QString();
}

}  // namespace corvid
