// CMainFrame: the main window. Menus, accelerators and toolbar as the
// program has always had them, the open path shared by every way a file
// comes in (Open dialog, recent list, drop, command line), and the command
// handlers; updateActions() derives every enabled and checked state, the
// recent entries and the title from the document.
//
// Browsing: Space / Backspace (and Page Down / Page Up while the whole
// picture is in the window) show the next / previous picture of the
// folder, or of the files dropped together; the browsing keys and the zoom
// steps (Ctrl+Plus, Ctrl+Minus) are window shortcuts without menu items,
// so the menus keep their items.
#pragma once

#include <QMainWindow>
#include <functional>

#include "dialogs.h"
#include "document.h"
#include "folder_list.h"
#include "profile.h"

class QAction;
class QActionGroup;
class QToolBar;

namespace corvid {

class CCorvidView;

class CMainFrame : public QMainWindow {
  Q_OBJECT
 public:
  // The platform's file dialogs; the tests put their own in.
  struct FileDialogs {
    // folder: where the dialog starts (the current picture's folder).
    std::function<QString(QWidget* parent, const QString& folder)> openPath;
    // proposed: the document's path without its extension; the dialog
    // starts in its folder.
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
  // The folder of the new file becomes the browsing list.
  bool OpenFile(const QString& path);
  // Next (+1) or previous (-1) picture of the browsing list, passing over
  // files that do not open, without a message for them. False when no
  // other file opened.
  bool Browse(int direction);

  void setFileDialogs(FileDialogs dialogs) { dialogs_ = std::move(dialogs); }
  CCorvidView* view() const { return view_; }
  QToolBar* toolBar() const { return toolBar_; }
  const RecentFileList& recentFiles() const { return recent_; }
  const BrowseList& browseList() const { return browse_; }
  // Where the Open dialog starts: the current picture's folder, else the
  // most recent file's, else the platform's choice (empty).
  QString StartFolder() const;

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
  void OnFitToWindow();
  void OnZoomStep(int direction, QPoint at);
  void OnBrowsePage(int direction);
  void OnAutoConversion();
  void OnJpegSetting();
  void OnAbout();

  CCorvidDoc& doc_;
  CCorvidView* view_ = nullptr;
  QToolBar* toolBar_ = nullptr;
  RecentFileList recent_;
  BrowseList browse_;
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
    QAction* zoomFit;  // "Fit to Window", after "Double Size"
    QAction* zoomIn;   // Ctrl+Plus, no menu item
    QAction* zoomOut;  // Ctrl+Minus, no menu item
    // Space, Backspace; Page Down, Page Up. No menu items.
    QAction* browseNext;
    QAction* browsePrevious;
    QAction* pageNext;
    QAction* pagePrevious;
    // One checked each: the CAM size, the zoom (with Fit to Window).
    QActionGroup* camSizeGroup;
    QActionGroup* zoomGroup;
    QAction* autoConversion;
    QAction* jpegSetting;
    QAction* about;
    // Accelerators with no handler: new, print, next and previous pane.
    QAction* unhandled[4];
  } a_{};
};

}  // namespace corvid
