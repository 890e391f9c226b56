#include "dialogs.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QVBoxLayout>
#include <algorithm>

#include "document.h"

namespace corvid {
namespace {

// Cancel to the left of the default OK, as the dialogs have always had them.
QHBoxLayout* CancelOkRow(QDialog* dialog) {
  auto* row = new QHBoxLayout;
  auto* cancel = new QPushButton(QStringLiteral("Cancel"), dialog);
  auto* ok = new QPushButton(QStringLiteral("OK"), dialog);
  ok->setDefault(true);
  QObject::connect(cancel, &QPushButton::clicked, dialog, &QDialog::reject);
  QObject::connect(ok, &QPushButton::clicked, dialog, &QDialog::accept);
  row->addStretch(1);
  row->addWidget(cancel);
  row->addWidget(ok);
  return row;
}

void FixedModal(QDialog* dialog, const QString& title) {
  dialog->setWindowTitle(title);
  dialog->setModal(true);
  dialog->setWindowFlag(Qt::WindowContextHelpButtonHint, false);
}

}  // namespace

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
  FixedModal(this, QStringLiteral("Corvid Version"));
  auto* icon = new QLabel(this);
  icon->setPixmap(QApplication::windowIcon().pixmap(32, 32));
  icon->setAlignment(Qt::AlignTop);
  auto* version = new QLabel(QStringLiteral("Corvid32 Version 1.5"), this);
  auto* copyright = new QLabel(QStringLiteral("Copyright (C) Quillbank"), this);
  auto* ok = new QPushButton(QStringLiteral("OK"), this);
  ok->setDefault(true);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);

  auto* texts = new QVBoxLayout;
  texts->addWidget(version);
  texts->addSpacing(version->fontMetrics().height());
  texts->addWidget(copyright);
  texts->addStretch(1);
  auto* okColumn = new QVBoxLayout;
  okColumn->addWidget(ok);
  okColumn->addStretch(1);
  auto* layout = new QHBoxLayout(this);
  layout->addWidget(icon);
  layout->addSpacing(8);
  layout->addLayout(texts, 1);
  layout->addLayout(okColumn);
  layout->setSizeConstraint(QLayout::SetFixedSize);
}

CAutoConvDlg::CAutoConvDlg(const Settings& settings, QWidget* parent, AskFolder askFolder)
    : QDialog(parent),
      initialTarget_(settings.storeType & kTargetMask),
      askFolder_(askFolder ? std::move(askFolder) : AskFolder(AskOutputFolder)) {
  FixedModal(this, QStringLiteral("Auto Conversion Setting"));
  enabled_ = new QCheckBox(QStringLiteral("Auto Conversion"), this);
  enabled_->setChecked(settings.autoConversion());
  targets_ = new QListWidget(this);
  // Index = target: 0 BMP, 1 JPEG, 2 TIFF.
  targets_->addItems({QStringLiteral("Bitmap(*.BMP)"), QStringLiteral("JPEG(*.JPG)"),
                      QStringLiteral("TIFF(*.TIF)")});
  targets_->setCurrentRow(static_cast<int>(initialTarget_));
  targets_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  const int rowHeight = targets_->sizeHintForRow(0);
  // Room for the three targets and a little more, as the list has always had.
  targets_->setFixedHeight(rowHeight * 4 + 2 * targets_->frameWidth());
  path_ = new QLineEdit(settings.outputPath, this);
  path_->setMinimumWidth(path_->fontMetrics().averageCharWidth() * 40);

  auto* convertLabel = new QLabel(QStringLiteral("Convert To :"), this);
  convertLabel->setBuddy(targets_);
  auto* pathLabel = new QLabel(QStringLiteral("Output Path:"), this);
  pathLabel->setBuddy(path_);
  // The setting is a folder: chosen here, or typed (with or without the
  // trailing '/', which the conversion adds).
  auto* browse = new QPushButton(QStringLiteral("Browse..."), this);
  browse->setAutoDefault(false);
  connect(browse, &QPushButton::clicked, this, [this] {
    const QString folder = askFolder_(this, path_->text());
    if (!folder.isEmpty()) path_->setText(folder);
  });

  auto* grid = new QGridLayout;
  grid->addWidget(convertLabel, 0, 0, Qt::AlignTop);
  grid->addWidget(targets_, 0, 1);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(enabled_);
  layout->addSpacing(8);
  layout->addLayout(grid);
  layout->addWidget(pathLabel);
  auto* pathRow = new QHBoxLayout;
  pathRow->addSpacing(8);
  pathRow->addWidget(path_);
  pathRow->addWidget(browse);
  layout->addLayout(pathRow);
  layout->addSpacing(4);
  layout->addLayout(CancelOkRow(this));
}

void CAutoConvDlg::Apply(Settings& settings) const {
  settings.outputPath = path_->text();
  // A list with its selection taken away (Ctrl+click) keeps the target it
  // had rather than storing an index of -1.
  const int row = targets_->currentItem() != nullptr && targets_->currentItem()->isSelected()
                      ? targets_->currentRow()
                      : static_cast<int>(initialTarget_);
  settings.storeType = (enabled_->isChecked() ? kAutoConversionOn : 0u) + static_cast<uint32_t>(row);
}

CJpegSetDlg::CJpegSetDlg(const Settings& settings, QWidget* parent) : QDialog(parent) {
  FixedModal(this, QStringLiteral("JPEG Setting"));
  scale_ = new QSlider(Qt::Horizontal, this);
  scale_->setRange(0, kMaxCompressScale - 1);
  scale_->setTickPosition(QSlider::TicksBelow);
  scale_->setTickInterval(16);
  value_ = new QLabel(this);
  value_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  value_->setMinimumWidth(value_->fontMetrics().horizontalAdvance(QStringLiteral("0000")));
  // The label follows the slider while it moves, and shows the stored
  // value from the start (position + 1, never a placeholder).
  connect(scale_, &QSlider::valueChanged, this,
          [this](int position) { value_->setNum(position + 1); });
  const int position =
      std::clamp<int>(settings.compressScale, kMinCompressScale, kMaxCompressScale) - 1;
  scale_->setValue(position);
  value_->setNum(position + 1);

  always_ = new QCheckBox(QStringLiteral("Always Compress Image"), this);
  always_->setChecked(settings.alwaysCompress != 0);

  auto* styleBox = new QGroupBox(QStringLiteral("File Style"), this);
  style_ = new QButtonGroup(this);
  auto* styleRow = new QHBoxLayout(styleBox);
  const QString names[] = {QStringLiteral("Normal"), QStringLiteral("Progressive"),
                           QStringLiteral("Exif")};
  for (int i = 0; i < 3; ++i) {
    auto* radio = new QRadioButton(names[i], styleBox);
    style_->addButton(radio, i);
    styleRow->addWidget(radio);
  }
  styleRow->addStretch(1);
  if (QAbstractButton* current = style_->button(static_cast<int>(settings.fileStyle))) {
    current->setChecked(true);
  }

  auto* scaleRow = new QHBoxLayout;
  scaleRow->addSpacing(24);
  scaleRow->addWidget(value_);
  scaleRow->addWidget(scale_, 1);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel(QStringLiteral("Compression Scale"), this));
  layout->addLayout(scaleRow);
  layout->addWidget(always_);
  layout->addWidget(styleBox);
  layout->addSpacing(8);
  layout->addLayout(CancelOkRow(this));
}

void CJpegSetDlg::Apply(Settings& settings) const {
  settings.compressScale = static_cast<int16_t>(scale_->value() + 1);
  settings.alwaysCompress = always_->isChecked() ? 1 : 0;
  const int style = style_->checkedId();
  if (style >= 0) settings.fileStyle = static_cast<FileStyle>(style);
}

CInfoDlg::CInfoDlg(const QStringList& lines, AskPath askPath, QWidget* parent)
    : QDialog(parent), askPath_(std::move(askPath)) {
  FixedModal(this, QStringLiteral("Information"));
  list_ = new QListWidget(this);
  list_->setSortingEnabled(false);
  list_->addItems(lines);
  list_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  const QFontMetrics metrics = list_->fontMetrics();
  list_->setMinimumSize(metrics.averageCharWidth() * 40, metrics.height() * 16);
  auto* save = new QPushButton(QStringLiteral("Save..."), this);
  auto* ok = new QPushButton(QStringLiteral("OK"), this);
  ok->setDefault(true);
  connect(save, &QPushButton::clicked, this, &CInfoDlg::SaveLines);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  auto* row = new QHBoxLayout;
  row->addWidget(save);
  row->addStretch(1);
  row->addWidget(ok);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(list_, 1);
  layout->addLayout(row);
}

QStringList CInfoDlg::Lines() const {
  QStringList lines;
  for (int i = 0; i < list_->count(); ++i) lines << list_->item(i)->text();
  return lines;
}

void CInfoDlg::SaveLines() {
  const QStringList lines = Lines();
  // No text, no dialog.
  if (InfoText(lines).isEmpty() || !askPath_) return;
  const QString chosen = askPath_(this);
  if (chosen.isEmpty()) return;
  SaveInfoText(chosen, lines);  // reports nothing when the file cannot be written
}

QString AskInfoTextPath(QWidget* parent) {
  return QFileDialog::getSaveFileName(parent, QString(), QString(),
                                      QStringLiteral("Text File (*.TXT)"));
}

QString AskOutputFolder(QWidget* parent, const QString& current) {
  return QFileDialog::getExistingDirectory(parent, QStringLiteral("Output Folder"), current);
}

}  // namespace corvid
