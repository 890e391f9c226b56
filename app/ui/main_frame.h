// CMainFrame: the main window. Menus, accelerators and toolbar as the
// program has always had them, the open path shared by every way a file
// comes in (Open dialog, recent list, drop, command line), and the command
// handlers; updateActions() derives every enabled and checked state, the
// recent entries and the title from the document.
#pragma once

#include <QMainWindow>
#include <functional>

#include "dialogs.h"
#include "document.h"
#include "profile.h"

class QAction;
class QToolBar;

namespace corvid {

class CCorvidView;

class CMainFrame : public QMainWindow {
  Q_OBJECT
 public:
  // The platform's file dialogs; the tests put their own in.
  struct FileDialogs {
    std::function<QString(QWidget* parent)> openPath;
    // proposed: the document's path without its extension.
    // The offered types decide the extension of a name typed without one.
    std::function<QString(QWidget* parent, const QString& proposed)> savePath;
    CInfoDlg::AskPath infoPath;
    CAutoConvDlg::AskFolder outputFolder;
  };
  static FileDialogs PlatformDialogs();

  explicit CMainFrame(CCorvidDoc& doc, QWidget* parent = nullptr);
  ~CMainFrame() override;

  // Opens a file as the Open command does (core import, auto conversion
  // included); on success the view shows the new picture and the file goes
  // to the top of the recent list. False when the file was not opened.
  // The recent list and the window's size and toolbar place are stored
  // when the window closes.
  bool OpenFile(const QString& path);

  void setFileDialogs(FileDialogs dialogs) { dialogs_ = std::move(dialogs); }
  CCorvidView* view() const { return view_; }
  QToolBar* toolBar() const { return toolBar_; }
  const RecentFileList& recentFiles() const { return recent_; }

 public slots:
  void updateActions();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  QMenu* createPopupMenu() override;

 private:
  void CreateActions();
  void CreateMenus();
  void CreateToolBar();
  QAction* NewAction(const char* name, const QString& text, QList<QKeySequence> keys = {});

  void OnFileOpen();
  void OnFileSave();
  void OnShowInfo();
  void OnRecentFile(int index);
  void OnToggleToolBar();
  void OnCamSize(int width, int height);
  void OnZoom(int zoom);
  void OnAutoConversion();
  void OnJpegSetting();
  void OnAbout();

  CCorvidDoc& doc_;
  CCorvidView* view_ = nullptr;
  QToolBar* toolBar_ = nullptr;
  RecentFileList recent_;
  FileDialogs dialogs_;

  struct Actions {
    QAction* open;
    QAction* save;
    QAction* showInfo;
    QAction* recentNone;  // "Recent File", shown disabled while the list is empty
    QAction* recent[RecentFileList::kSize];
    QAction* exit;
    QAction* undo;
    QAction* cut;
    QAction* copy;
    QAction* paste;
    QAction* toolBar;
    QAction* camSize[3];
    QAction* zoom[3];
    QAction* autoConversion;
    QAction* jpegSetting;
    QAction* about;
    // Accelerators with no handler: new, print, next and previous pane.
    QAction* unhandled[4];
  } a_{};
};

}  // namespace corvid
