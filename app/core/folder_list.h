// Browsing: the files beside the picture shown, in the order a file manager
// lists them, and the step to the next or previous one the program opens.
//
// Passing over what the program cannot open is done in two stages, so that
// a folder of camera pictures mixed with sound clips, videos and notes
// browses at once:
//   1. StartsLikePicture() reads the first 64 KiB and keeps only files that
//      begin as something the import recognises: the library's CAM check
//      (RkCheckCAMFileTypeEx on that head), a JPEG SOI, a TIFF header. A
//      400 MB video is refused after one small read, never read whole.
//   2. Files that pass are opened for real by the caller's `open`; one that
//      still fails (a damaged picture, a format the library has no reader
//      for yet) is passed over too. The caller keeps such an open quiet
//      (CCorvidDoc::OpenQuietly): stepping never shows "Format Error".
#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <functional>

namespace corvid {

// Natural name order, as file managers sort: runs of digits compare by
// value ("IMG2.CAM" before "IMG10.CAM"), other characters without regard
// to case. Names equal but for case or leading zeros are told apart last:
// "img7" < "Img7" < "img07" (upper case after lower, and fewer zeros
// first), so the order is total and stable. <0, 0 or >0.
int NaturalCompare(const QString& a, const QString& b);

// The bytes StartsLikePicture reads: the CAM directory (16 bytes an entry)
// and a TIFF header are far inside this.
constexpr qint64 kPictureHeadBytes = 64 * 1024;

// Stage 1 above: false for a folder, an empty or unreadable file, one the
// import would refuse for its size, and one whose head is none of the
// formats. Pictures whose head passes may still fail to open.
bool StartsLikePicture(const QString& path);

class BrowseList {
 public:
  using OpenFunction = std::function<bool(const QString& path)>;

  // Browses the folder of `path` (an absolute path), starting there. The
  // folder is listed on the first step and again whenever it has changed
  // since (files added or removed). Hidden files are left out.
  void SetFolderOf(const QString& path);
  // Browses exactly `paths`, in the order given (a drop of several files),
  // starting at the first.
  void SetFiles(const QStringList& paths);

  // Offers the other files one by one to `open`, from the current one in
  // `direction` (+1 next, -1 previous), going round past either end;
  // files that do not StartsLikePicture are never offered. The first that
  // opens becomes current and its path is returned. Empty when none opens
  // (or there is nothing to browse): the current file stays.
  // A current file that has been removed from the folder is browsed from
  // where its name stood.
  QString Step(int direction, const OpenFunction& open);

  // The list as it stands (absolute paths), and the current file.
  const QStringList& Files() const { return files_; }
  const QString& Current() const { return current_; }
  bool IsEmpty() const { return current_.isEmpty(); }

 private:
  void Refresh();

  QString current_;
  QString folder_;  // empty for an explicit list
  QStringList files_;
  QDateTime listedModified_;  // the folder's modification time when listed
  QDateTime listedAt_;        // when it was listed
  bool listed_ = false;
};

}  // namespace corvid
