#include "main_frame.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QScrollBar>
#include <QSettings>
#include <QToolBar>
#include <QUrl>

#include "corvid_view.h"
#include "icons.h"

namespace corvid {
namespace {

struct CamSize {
  int width, height;
  const char* text;
};
constexpr CamSize kCamSizes[3] = {{480, 360, "480x360"}, {480, 240, "480x240"}, {320, 240, "320x240"}};

struct Zoom {
  int zoom;
  const char* text;
};
constexpr Zoom kZooms[3] = {{128, "Normal Size"}, {64, "Half Size"}, {256, "Double Size"}};

constexpr QSize kDefaultSize(640, 480);

// A tool tip and a prompt, as "prompt\ntip" in the string table.
void SetTips(QAction* action, const QString& prompt, const QString& tip) {
  action->setStatusTip(prompt);
  action->setToolTip(tip);
  action->setIconText(tip);
}

QList<QUrl> LocalFiles(const QMimeData* mime) {
  QList<QUrl> files;
  if (mime == nullptr || !mime->hasUrls()) return files;
  for (const QUrl& url : mime->urls()) {
    if (url.isLocalFile()) files << url;
  }
  return files;
}

QString AskOpenPath(QWidget* parent, const QString& folder) {
  // Everything is offered and recognised by content. The pattern is "*":
  // here "*.*" would hide the names without a dot.
  QFileDialog dialog(parent, QStringLiteral("Open"), folder, QStringLiteral("All Files (*)"));
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);
  if (dialog.exec() != QDialog::Accepted) return QString();
  return dialog.selectedFiles().value(0);
}

// The save dialog's types and the extension each gives a name typed
// without one.
struct SaveType {
  const char* filter;
  const char* suffix;
};
constexpr SaveType kSaveTypes[3] = {
    {"JPEG Files (*.jpg)", "jpg"}, {"BitMap Files (*.bmp)", "bmp"}, {"TIFF Files (*.tif)", "tif"}};

QString AskSavePath(QWidget* parent, const QString& proposed) {
  QFileDialog dialog(parent);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  QStringList filters;
  for (const SaveType& type : kSaveTypes) filters << QLatin1String(type.filter);
  dialog.setNameFilters(filters);
  dialog.setDefaultSuffix(QLatin1String(kSaveTypes[0].suffix));
  // The name gets the extension of the type chosen: "photo_scene" typed
  // with "BitMap Files (*.bmp)" selected is saved as photo_scene.bmp.
  QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, [&dialog](const QString& filter) {
    for (const SaveType& type : kSaveTypes) {
      if (filter == QLatin1String(type.filter)) dialog.setDefaultSuffix(QLatin1String(type.suffix));
    }
  });
  // In the folder of the picture, with its name.
  if (!proposed.isEmpty()) {
    const QFileInfo info(proposed);
    dialog.setDirectory(info.absolutePath());
    dialog.selectFile(info.fileName());
  }
  if (dialog.exec() != QDialog::Accepted) return QString();
  return dialog.selectedFiles().value(0);
}

}  // namespace

CMainFrame::FileDialogs CMainFrame::PlatformDialogs() {
  return FileDialogs{AskOpenPath, AskSavePath, AskInfoTextPath, AskOutputFolder};
}

CMainFrame::CMainFrame(CCorvidDoc& doc, QWidget* parent)
    : QMainWindow(parent), doc_(doc), dialogs_(PlatformDialogs()) {
  setObjectName(QStringLiteral("CMainFrame"));
  view_ = new CCorvidView(doc_, this);
  setCentralWidget(view_);
  connect(view_, &CCorvidView::scaleChanged, this, &CMainFrame::updateActions);
  connect(view_, &CCorvidView::zoomStepRequested, this, &CMainFrame::OnZoomStep);
  setAcceptDrops(true);
  CreateActions();
  CreateMenus();
  CreateToolBar();

  const std::unique_ptr<QSettings> profile = OpenProfile();
  recent_.Load(*profile);
  const WindowState state = LoadWindowState(*profile);
  if (state.geometry.isEmpty() || !restoreGeometry(state.geometry)) resize(kDefaultSize);
  if (!state.docks.isEmpty()) restoreState(state.docks);

  view_->OnInitialUpdate();
  updateActions();
}

CMainFrame::~CMainFrame() {
  // The toolbar is hidden while the children go; nothing is left to update.
  disconnect(toolBar_, nullptr, this, nullptr);
}

QAction* CMainFrame::NewAction(const char* name, const QString& text, QList<QKeySequence> keys) {
  auto* action = new QAction(text, this);
  action->setObjectName(QLatin1String(name));
  action->setShortcuts(keys);
  return action;
}

void CMainFrame::CreateActions() {
  a_.open = NewAction("fileOpen", QStringLiteral("&Open..\tCtrl+O"), {QKeySequence(Qt::CTRL | Qt::Key_O)});
  a_.open->setIcon(ToolBarIcon(ToolIcon::Open));
  SetTips(a_.open, QStringLiteral("Open the Image File"), QStringLiteral("Open"));
  connect(a_.open, &QAction::triggered, this, &CMainFrame::OnFileOpen);

  a_.save = NewAction("fileSave", QStringLiteral("&Save...\tCtrl+S"), {QKeySequence(Qt::CTRL | Qt::Key_S)});
  a_.save->setIcon(ToolBarIcon(ToolIcon::Save));
  SetTips(a_.save, QStringLiteral("Save Image as file"), QStringLiteral("Save"));
  connect(a_.save, &QAction::triggered, this, &CMainFrame::OnFileSave);

  a_.showInfo = NewAction("fileShowInfo", QStringLiteral("Show &Info...\tCtrl+I"),
                          {QKeySequence(Qt::CTRL | Qt::Key_I)});
  connect(a_.showInfo, &QAction::triggered, this, &CMainFrame::OnShowInfo);

  a_.recentNone = NewAction("fileRecentNone", QStringLiteral("Recent File"));
  for (int i = 0; i < RecentFileList::kSize; ++i) {
    a_.recent[i] = NewAction(QStringLiteral("fileRecent%1").arg(i + 1).toLatin1().constData(), QString());
    a_.recent[i]->setStatusTip(QStringLiteral("Open this document"));
    connect(a_.recent[i], &QAction::triggered, this, [this, i] { OnRecentFile(i); });
  }

  a_.exit = NewAction("appExit", QStringLiteral("E&xit"));
  SetTips(a_.exit, QStringLiteral("Quit the application; prompts to save documents"), QStringLiteral("Exit"));
  connect(a_.exit, &QAction::triggered, this, &QWidget::close);

  a_.undo = NewAction("editUndo", QStringLiteral("&Undo\tCtrl+Z"),
                      {QKeySequence(Qt::CTRL | Qt::Key_Z), QKeySequence(Qt::ALT | Qt::Key_Backspace)});
  SetTips(a_.undo, QStringLiteral("Undo the last action"), QStringLiteral("Undo"));
  a_.cut = NewAction("editCut", QStringLiteral("Cu&t\tCtrl+X"),
                     {QKeySequence(Qt::CTRL | Qt::Key_X), QKeySequence(Qt::SHIFT | Qt::Key_Delete)});
  a_.cut->setIcon(ToolBarIcon(ToolIcon::Cut));
  SetTips(a_.cut, QStringLiteral("Cut the selection and put it on the Clipboard"), QStringLiteral("Cut"));
  a_.copy = NewAction("editCopy", QStringLiteral("&Copy\tCtrl+C"),
                      {QKeySequence(Qt::CTRL | Qt::Key_C), QKeySequence(Qt::CTRL | Qt::Key_Insert)});
  a_.copy->setIcon(ToolBarIcon(ToolIcon::Copy));
  SetTips(a_.copy, QStringLiteral("Copy the selection and put it on the Clipboard"), QStringLiteral("Copy"));
  a_.paste = NewAction("editPaste", QStringLiteral("&Paste\tCtrl+V"),
                       {QKeySequence(Qt::CTRL | Qt::Key_V), QKeySequence(Qt::SHIFT | Qt::Key_Insert)});
  a_.paste->setIcon(ToolBarIcon(ToolIcon::Paste));
  SetTips(a_.paste, QStringLiteral("Insert Clipboard contents"), QStringLiteral("Paste"));

  a_.toolBar = NewAction("viewToolbar", QStringLiteral("&Toolbar"));
  a_.toolBar->setCheckable(true);
  SetTips(a_.toolBar, QStringLiteral("Show or hide the toolbar"), QStringLiteral("Toggle ToolBar"));
  connect(a_.toolBar, &QAction::triggered, this, &CMainFrame::OnToggleToolBar);

  a_.camSizeGroup = new QActionGroup(this);
  for (int i = 0; i < 3; ++i) {
    const CamSize size = kCamSizes[i];
    a_.camSize[i] = NewAction(QStringLiteral("camSize%1").arg(QLatin1String(size.text)).toLatin1().constData(),
                              QLatin1String(size.text));
    a_.camSize[i]->setCheckable(true);
    a_.camSizeGroup->addAction(a_.camSize[i]);
    connect(a_.camSize[i], &QAction::triggered, this, [this, size] { OnCamSize(size.width, size.height); });
  }
  a_.zoomGroup = new QActionGroup(this);
  const char* zoomNames[3] = {"zoomNormal", "zoomHalf", "zoomDouble"};
  for (int i = 0; i < 3; ++i) {
    const int zoom = kZooms[i].zoom;
    a_.zoom[i] = NewAction(zoomNames[i], QLatin1String(kZooms[i].text));
    a_.zoom[i]->setCheckable(true);
    a_.zoomGroup->addAction(a_.zoom[i]);
    connect(a_.zoom[i], &QAction::triggered, this, [this, zoom] { OnZoom(zoom); });
  }
  a_.zoomFit = NewAction("zoomFit", QStringLiteral("Fit to Window"), {QKeySequence(Qt::Key_F)});
  a_.zoomFit->setCheckable(true);
  SetTips(a_.zoomFit, QStringLiteral("Show the whole picture in the window"),
          QStringLiteral("Fit to Window"));
  a_.zoomGroup->addAction(a_.zoomFit);
  connect(a_.zoomFit, &QAction::triggered, this, &CMainFrame::OnFitToWindow);
  // Ctrl+= is Ctrl+Plus without Shift on keyboards that have + above =.
  a_.zoomIn = NewAction("zoomIn", QStringLiteral("Zoom In"),
                        {QKeySequence(Qt::CTRL | Qt::Key_Plus), QKeySequence(Qt::CTRL | Qt::Key_Equal)});
  connect(a_.zoomIn, &QAction::triggered, this, [this] { OnZoomStep(1, QPoint(-1, -1)); });
  a_.zoomOut = NewAction("zoomOut", QStringLiteral("Zoom Out"), {QKeySequence(Qt::CTRL | Qt::Key_Minus)});
  connect(a_.zoomOut, &QAction::triggered, this, [this] { OnZoomStep(-1, QPoint(-1, -1)); });

  a_.browseNext = NewAction("browseNext", QStringLiteral("Next Picture"), {QKeySequence(Qt::Key_Space)});
  connect(a_.browseNext, &QAction::triggered, this, [this] { Browse(1); });
  a_.browsePrevious = NewAction("browsePrevious", QStringLiteral("Previous Picture"),
                                {QKeySequence(Qt::Key_Backspace)});
  connect(a_.browsePrevious, &QAction::triggered, this, [this] { Browse(-1); });
  a_.pageNext = NewAction("pageNext", QStringLiteral("Page Down"), {QKeySequence(Qt::Key_PageDown)});
  connect(a_.pageNext, &QAction::triggered, this, [this] { OnBrowsePage(1); });
  a_.pagePrevious = NewAction("pagePrevious", QStringLiteral("Page Up"), {QKeySequence(Qt::Key_PageUp)});
  connect(a_.pagePrevious, &QAction::triggered, this, [this] { OnBrowsePage(-1); });
  for (QAction* action :
       {a_.zoomIn, a_.zoomOut, a_.browseNext, a_.browsePrevious, a_.pageNext, a_.pagePrevious}) {
    addAction(action);
  }

  a_.autoConversion = NewAction("autoConversion", QStringLiteral("Auto Conversion..."));
  connect(a_.autoConversion, &QAction::triggered, this, &CMainFrame::OnAutoConversion);
  a_.jpegSetting = NewAction("jpegSetting", QStringLiteral("JPEG..."));
  connect(a_.jpegSetting, &QAction::triggered, this, &CMainFrame::OnJpegSetting);

  a_.about = NewAction("appAbout", QStringLiteral("&About Corvid..."));
  a_.about->setIcon(ToolBarIcon(ToolIcon::About));
  SetTips(a_.about, QStringLiteral("Display program information, version number and copyright"),
          QStringLiteral("About"));
  connect(a_.about, &QAction::triggered, this, &CMainFrame::OnAbout);

  // Accelerators of commands the program never had: they exist, do nothing
  // and stay disabled.
  a_.unhandled[0] = NewAction("fileNew", QStringLiteral("New"), {QKeySequence(Qt::CTRL | Qt::Key_N)});
  a_.unhandled[1] = NewAction("filePrint", QStringLiteral("Print"), {QKeySequence(Qt::CTRL | Qt::Key_P)});
  a_.unhandled[2] = NewAction("nextPane", QStringLiteral("Next Pane"), {QKeySequence(Qt::Key_F6)});
  a_.unhandled[3] = NewAction("prevPane", QStringLiteral("Previous Pane"),
                              {QKeySequence(Qt::SHIFT | Qt::Key_F6)});
  for (QAction* action : a_.unhandled) addAction(action);
}

void CMainFrame::CreateMenus() {
  QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
  file->addAction(a_.open);
  file->addAction(a_.save);
  file->addAction(a_.showInfo);
  file->addSeparator();
  file->addAction(a_.recentNone);
  for (QAction* recent : a_.recent) file->addAction(recent);
  file->addSeparator();
  file->addAction(a_.exit);

  QMenu* edit = menuBar()->addMenu(QStringLiteral("&Edit"));
  edit->addAction(a_.undo);
  edit->addSeparator();
  edit->addAction(a_.cut);
  edit->addAction(a_.copy);
  edit->addAction(a_.paste);

  QMenu* option = menuBar()->addMenu(QStringLiteral("&Option"));
  option->addAction(a_.toolBar);
  option->addSeparator();
  for (QAction* size : a_.camSize) option->addAction(size);
  option->addSeparator();
  for (QAction* zoom : a_.zoom) option->addAction(zoom);
  option->addAction(a_.zoomFit);
  option->addSeparator();
  option->addAction(a_.autoConversion);
  option->addAction(a_.jpegSetting);

  QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
  help->addAction(a_.about);
}

void CMainFrame::CreateToolBar() {
  toolBar_ = new QToolBar(QStringLiteral("Toolbar"), this);
  toolBar_->setObjectName(QStringLiteral("toolbar"));
  toolBar_->setMovable(true);
  toolBar_->setFloatable(true);
  toolBar_->setAllowedAreas(Qt::AllToolBarAreas);
  toolBar_->setIconSize(QSize(16, 16));
  toolBar_->addAction(a_.open);
  toolBar_->addAction(a_.save);
  toolBar_->addSeparator();
  toolBar_->addAction(a_.cut);
  toolBar_->addAction(a_.copy);
  toolBar_->addAction(a_.paste);
  toolBar_->addSeparator();
  toolBar_->addAction(a_.about);
  addToolBar(Qt::TopToolBarArea, toolBar_);
  setDockOptions(dockOptions() | QMainWindow::AnimatedDocks);
  connect(toolBar_, &QToolBar::visibilityChanged, this, &CMainFrame::updateActions);
}

QMenu* CMainFrame::createPopupMenu() {
  auto* menu = new QMenu(this);
  menu->addAction(a_.toolBar);
  return menu;
}

void CMainFrame::updateActions() {
  const Settings& settings = doc_.Image().settings();

  a_.open->setEnabled(true);
  // Save stays enabled without a picture; it then does nothing.
  a_.save->setEnabled(true);
  a_.showInfo->setEnabled(doc_.HasInfo());

  const QStringList& recent = recent_.Paths();
  a_.recentNone->setVisible(recent.isEmpty());
  a_.recentNone->setEnabled(false);
  for (int i = 0; i < RecentFileList::kSize; ++i) {
    const bool used = i < recent.size();
    a_.recent[i]->setVisible(used);
    a_.recent[i]->setEnabled(used);
    if (used) {
      QString shown = QDir::toNativeSeparators(recent[i]);
      shown.replace(QLatin1Char('&'), QStringLiteral("&&"));
      a_.recent[i]->setText(QStringLiteral("&%1 %2").arg(i + 1).arg(shown));
    }
  }
  a_.exit->setEnabled(true);

  for (QAction* action : {a_.undo, a_.cut, a_.copy, a_.paste}) action->setEnabled(false);
  for (QAction* action : a_.unhandled) action->setEnabled(false);

  a_.toolBar->setChecked(!toolBar_->isHidden());
  const bool fit = view_->FitToWindow();
  for (int i = 0; i < 3; ++i) {
    a_.camSize[i]->setChecked(settings.camWidth == kCamSizes[i].width &&
                              settings.camHeight == kCamSizes[i].height);
    a_.zoom[i]->setChecked(!fit && settings.zoom == kZooms[i].zoom);
  }
  a_.zoomFit->setChecked(fit);

  const bool picture = doc_.HasPicture();
  const double scale = view_->Scale();
  a_.zoomIn->setEnabled(picture && ZoomStep(scale, 1) != 0);
  a_.zoomOut->setEnabled(picture && ZoomStep(scale, -1) != 0);
  a_.browseNext->setEnabled(!browse_.IsEmpty());
  a_.browsePrevious->setEnabled(!browse_.IsEmpty());

  // "photo_scene.cam (480 × 360, 100%) - Corvid": the zoom as drawn, so a
  // fitted picture shows the scale the window gives it.
  QString title = doc_.Path().isEmpty() ? QStringLiteral("Untitled") : QFileInfo(doc_.Path()).fileName();
  if (picture) {
    const QSize size = doc_.Image().PixelSize();
    const int percent = qMax(1, qRound(scale * 100));
    title += QStringLiteral(" (%1 \u00d7 %2, %3%)").arg(size.width()).arg(size.height()).arg(percent);
  }
  setWindowTitle(QStringLiteral("%1 - Corvid").arg(title));
  setWindowFilePath(doc_.Path());
}

QString CMainFrame::StartFolder() const {
  const QString& path = doc_.Path().isEmpty() ? recent_.Paths().value(0) : doc_.Path();
  return path.isEmpty() ? QString() : QFileInfo(path).absolutePath();
}

bool CMainFrame::OpenFile(const QString& path) {
  if (path.isEmpty()) return false;
  const bool opened = doc_.Open(path);
  if (opened) {
    recent_.Add(doc_.Path());
    browse_.SetFolderOf(doc_.Path());
    view_->OnInitialUpdate();
  }
  updateActions();
  return opened;
}

bool CMainFrame::Browse(int direction) {
  const QString previous = doc_.Path();
  const QString opened =
      browse_.Step(direction, [this](const QString& path) { return doc_.OpenQuietly(path); });
  if (opened.isEmpty()) return false;
  // Browsing moves the list's newest entry along instead of pushing the
  // other folders' files out: it names the picture last seen.
  if (!recent_.IsEmpty() && recent_.Paths().first() == previous) recent_.Remove(0);
  recent_.Add(doc_.Path());
  view_->OnInitialUpdate();
  updateActions();
  return true;
}

void CMainFrame::OnBrowsePage(int direction) {
  // Page keys turn pages while the whole picture is in view; on a larger
  // picture they scroll it, as in any scrolled window.
  if (view_->PictureFits()) {
    Browse(direction);
    return;
  }
  view_->verticalScrollBar()->triggerAction(direction > 0 ? QAbstractSlider::SliderPageStepAdd
                                                          : QAbstractSlider::SliderPageStepSub);
}

void CMainFrame::OnFileOpen() {
  if (!dialogs_.openPath) return;
  const QString path = dialogs_.openPath(this, StartFolder());
  if (!path.isEmpty()) OpenFile(path);
}

void CMainFrame::OnFileSave() {
  // No picture: no dialog, nothing written.
  if (!doc_.HasPicture() || !dialogs_.savePath) return;
  const QString path = dialogs_.savePath(this, doc_.ProposedSaveName());
  if (!path.isEmpty()) doc_.Save(path);
}

void CMainFrame::OnShowInfo() {
  if (!doc_.HasInfo()) return;
  CInfoDlg dialog(doc_.InfoLines(), dialogs_.infoPath, this);
  dialog.exec();
}

void CMainFrame::OnRecentFile(int index) {
  const QStringList& recent = recent_.Paths();
  if (index < 0 || index >= recent.size()) return;
  // A file that no longer opens leaves the list.
  if (!OpenFile(recent[index])) {
    recent_.Remove(index);
    updateActions();
  }
}

void CMainFrame::OnToggleToolBar() {
  toolBar_->setVisible(toolBar_->isHidden());
  updateActions();
}

void CMainFrame::OnCamSize(int width, int height) {
  // Applies to the next CAM file opened; the shown picture stays.
  Settings& settings = doc_.Image().settings();
  settings.camWidth = static_cast<int16_t>(width);
  settings.camHeight = static_cast<int16_t>(height);
  updateActions();
}

void CMainFrame::OnZoom(int zoom) {
  view_->SetZoom(false, zoom);
  updateActions();
}

void CMainFrame::OnFitToWindow() {
  view_->SetZoom(true, doc_.Image().settings().zoom);
  updateActions();
}

void CMainFrame::OnZoomStep(int direction, QPoint at) {
  if (!doc_.HasPicture()) return;
  const int zoom = ZoomStep(view_->Scale(), direction);
  if (zoom == 0) return;
  view_->SetZoom(false, zoom, at);
  updateActions();
}

void CMainFrame::OnAutoConversion() {
  CAutoConvDlg dialog(doc_.Image().settings(), this, dialogs_.outputFolder);
  if (dialog.exec() == QDialog::Accepted) dialog.Apply(doc_.Image().settings());
}

void CMainFrame::OnJpegSetting() {
  CJpegSetDlg dialog(doc_.Image().settings(), this);
  if (dialog.exec() == QDialog::Accepted) dialog.Apply(doc_.Image().settings());
}

void CMainFrame::OnAbout() {
  CAboutDlg dialog(this);
  dialog.exec();
}

void CMainFrame::closeEvent(QCloseEvent* event) {
  // Kept with the settings, which are written at the end of the program.
  const std::unique_ptr<QSettings> profile = OpenProfile();
  recent_.Store(*profile);
  StoreWindowState(*profile, WindowState{saveGeometry(), saveState()});
  event->accept();
}

void CMainFrame::dragEnterEvent(QDragEnterEvent* event) {
  if (!LocalFiles(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void CMainFrame::dropEvent(QDropEvent* event) {
  const QList<QUrl> files = LocalFiles(event->mimeData());
  if (files.isEmpty()) return;
  event->acceptProposedAction();
  activateWindow();
  // Several files: the first is opened, and together they are what Space
  // and Backspace go through, in the order given.
  QStringList paths;
  for (const QUrl& url : files) paths << url.toLocalFile();
  OpenFile(paths.first());
  if (paths.size() > 1) {
    browse_.SetFiles(paths);
    updateActions();
  }
}

}  // namespace corvid
