// The four modal dialogs. The setting dialogs show a copy of the settings
// and write them back only through Apply(), which the frame calls when the
// dialog was accepted with OK; Cancel changes nothing.
#pragma once

#include <QDialog>
#include <QStringList>
#include <functional>

#include "settings.h"

class QButtonGroup;
class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QSlider;

namespace corvid {

// "Corvid Version": icon, version line, copyright line, OK.
class CAboutDlg : public QDialog {
  Q_OBJECT
 public:
  explicit CAboutDlg(QWidget* parent = nullptr);
};

// "Auto Conversion Setting": on/off, target (BMP, JPEG, TIFF), output
// folder (typed, or chosen with "Browse...").
class CAutoConvDlg : public QDialog {
  Q_OBJECT
 public:
  // askFolder: the folder chooser, started at the current text; returns the
  // chosen folder or an empty text.
  using AskFolder = std::function<QString(QWidget* parent, const QString& current)>;
  CAutoConvDlg(const Settings& settings, QWidget* parent = nullptr, AskFolder askFolder = {});
  // output path := the edit's text; store type := 0x10 when checked, plus
  // the selected target.
  void Apply(Settings& settings) const;

 private:
  QCheckBox* enabled_;
  QListWidget* targets_;
  QLineEdit* path_;
  uint32_t initialTarget_;
  AskFolder askFolder_;
};

// "JPEG Setting": compression scale (slider 0..127 at scale - 1, with a
// label showing position + 1), Always Compress, File Style.
class CJpegSetDlg : public QDialog {
  Q_OBJECT
 public:
  CJpegSetDlg(const Settings& settings, QWidget* parent = nullptr);
  // Compress Scale := position + 1, Always Compress := the check box, File
  // Style := the selected radio button.
  void Apply(Settings& settings) const;

 private:
  QSlider* scale_;
  QLabel* value_;
  QCheckBox* always_;
  QButtonGroup* style_;
};

// "Information": the Exif lines, "Save..." writes them as a text file.
class CInfoDlg : public QDialog {
  Q_OBJECT
 public:
  // askPath: the save dialog; returns the chosen path or an empty text.
  using AskPath = std::function<QString(QWidget* parent)>;
  CInfoDlg(const QStringList& lines, AskPath askPath, QWidget* parent = nullptr);
  // The list's lines, in order.
  QStringList Lines() const;

 private:
  void SaveLines();
  QListWidget* list_;
  AskPath askPath_;
};

// The save dialog of the Information dialog: "Text File (*.TXT)", asks
// before overwriting.
QString AskInfoTextPath(QWidget* parent);

// The platform's folder chooser for the auto-conversion output folder.
QString AskOutputFolder(QWidget* parent, const QString& current);

}  // namespace corvid
