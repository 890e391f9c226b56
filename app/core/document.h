// CCorvidDoc: the document's open and save logic, on the image object.
// The window layer asks it for paths and states and shows its messages.
// Files are written whole or not at all (file_write.h): Save's "create
// always" replaces the target only once the new bytes are complete.
#pragma once

#include <QSize>
#include <QString>
#include <QStringList>

#include "message_gate.h"
#include "messages.h"
#include "rk_dib.h"

namespace corvid {

class CCorvidDoc {
 public:
  explicit CCorvidDoc(UserInterface& ui, CRKDib::Profile profile = CRKDib::Profile::Use)
      : ui_(ui), gate_(ui), image_(gate_, profile) {}

  // Open (menu, recent list, drop, command line): imports the file. True
  // when it was recognised and decoded; otherwise the document keeps its
  // picture and path.
  bool Open(const QString& path);
  // Open while browsing: a file that does not open is passed over without
  // its message; one that opens shows what it reported (auto conversion).
  bool OpenQuietly(const QString& path);
  // Save: encodes the picture by the name's extension, then writes `path`
  // whole (CRKDib::SaveFile); a failed save leaves an existing file as it
  // was. Nothing happens without a picture.
  bool Save(const QString& path);
  // The name the save dialog proposes: the opened path without its
  // extension (cut at the last dot when there is one).
  QString ProposedSaveName() const;

  bool HasPicture() const { return image_.HasPicture(); }
  bool HasInfo() const { return image_.Exif().HasInfo(); }
  // The Information dialog's lines, in order.
  QStringList InfoLines() const;
  const QString& Path() const { return path_; }
  CRKDib& Image() { return image_; }
  const CRKDib& Image() const { return image_; }

 private:
  UserInterface& ui_;
  MessageGate gate_;  // between the image object and ui_
  CRKDib image_;
  QString path_;
};

// The picture's size at the view's zoom in 128ths (128 normal, 64 half, 256
// double), in integer arithmetic: 481 x 361 at 64 gives 240 x 180.
QSize ScaledSize(const QSize& size, int zoom);

// The information lines saved as text: each line in UTF-8 followed by CR
// LF, up to the first empty line; no terminating zero.
QByteArray InfoText(const QStringList& lines);
// The text file's path for a path the user chose: cut after the last dot
// found searching back from the end down to the second character, or
// append a dot; then "txt". "/my.dir/info" gives "/my.txt".
QString InfoTextPath(const QString& chosen);
// Writes the text whole; a file that cannot be created or written is
// silently not written (false), and an existing one stays as it was.
bool SaveInfoText(const QString& chosen, const QStringList& lines);

}  // namespace corvid
