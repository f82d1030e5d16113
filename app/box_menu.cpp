#include "app/box_menu.h"

#include <QAction>
#include <QDir>
#include <QFileDialog>
#include <QMenu>
#include <QPainter>
#include <QPixmap>
#include <QPlainTextEdit>
#include <algorithm>

#include "app/balloon.h"
#include "app/text_box.h"
#include "posting/shift_jis_safe.h"
#include "render/text_art.h"

namespace koron {
namespace {

QIcon OverBudgetMark() {
  QPixmap mark(16, 16);
  mark.fill(Qt::transparent);
  QPainter painter(&mark);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(Qt::NoPen);
  painter.setBrush(QColor(0xD0, 0x10, 0x10));
  painter.drawEllipse(QRectF(2, 2, 12, 12));
  return QIcon(mark);
}

QAction* Readout(const std::u16string& text, QMenu* menu) {
  bool over = false;
  auto* readout = new QAction(ReadoutWords(text, &over), menu);
  if (over) readout->setIcon(OverBudgetMark());
  readout->setObjectName(QStringLiteral("readout"));
  readout->setEnabled(false);  // a line to read, not to choose
  return readout;
}

// Why the picture was not saved, in the window's language.
QString SaveFailureWords(const PngSaveFailure& failure) {
  using Reason = PngSaveFailure::Reason;
  const QString path = QDir::toNativeSeparators(failure.path);
  const QString size =
      QString::fromUtf16(u"%1 × %2 ピクセル")
          .arg(GroupedNumber(failure.size.width()), GroupedNumber(failure.size.height()));
  switch (failure.reason) {
    case Reason::kNoFileName:
      return QString::fromUtf16(u"ファイル名がありません。");
    case Reason::kNoFolder:
      return QString::fromUtf16(u"フォルダ %1 がありません。").arg(path);
    case Reason::kNotAFolder:
      return QString::fromUtf16(u"%1 はフォルダではありません。").arg(path);
    case Reason::kTargetIsAFolder:
      return QString::fromUtf16(u"%1 はフォルダです。").arg(path);
    case Reason::kNotARegularFile:
      return QString::fromUtf16(u"%1 は通常のファイルではありません。").arg(path);
    case Reason::kTooLarge:
      return QString::fromUtf16(u"画像が大きすぎます: %1（上限は一辺 %2、全体で %3 ピクセル）")
          .arg(size, GroupedNumber(kMaxTextArtImageSide), GroupedNumber(kMaxTextArtImagePixels));
    case Reason::kOutOfMemory:
      return QString::fromUtf16(u"画像を描くためのメモリが足りません（%1）。").arg(size);
    case Reason::kCannotWrite:
      break;
  }
  return QString::fromUtf16(u"%1 に書き込めません: %2").arg(path, failure.system);
}

}  // namespace

QString AskAndSaveImage(QWidget* parent, const std::u16string& text, const QString& folder,
                        const QString& fileName, QString* failure) {
  QFileDialog dialog(parent, QString::fromUtf16(u"画像として保存"));
  dialog.setObjectName(QStringLiteral("saveImageDialog"));
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setNameFilter(QString::fromUtf16(u"PNG 画像 (*.png)"));
  dialog.setDefaultSuffix(QStringLiteral("png"));
  dialog.setDirectory(folder);
  dialog.selectFile(QDir(folder).filePath(fileName));
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return QString();
  const QString path = dialog.selectedFiles().constFirst();
  PngSaveFailure why;
  if (!SaveTextArtPng(text, path, &why)) {
    if (failure != nullptr) {
      *failure = QString::fromUtf16(u"画像を保存できませんでした: %1").arg(SaveFailureWords(why));
    }
    return QString();
  }
  return path;
}

QString ReadoutWords(const std::u16string& text, bool* overBudget) {
  const std::vector<std::uint32_t> widths = TextArtLineWidths(text);
  const std::uint32_t widest = widths.empty() ? 0 : *std::max_element(widths.begin(), widths.end());
  const std::uint64_t bytes = ShiftJisSafeByteCount(text);
  // A line measured partly in a face other than the text-art ones may be wider or narrower on
  // the board, so the widest figure is only about right.
  const std::vector<bool> approximate = TextArtApproximateLines(text);
  const bool guessed = std::find(approximate.begin(), approximate.end(), true) != approximate.end();
  QString words = QString::fromUtf16(u"幅 %1%2 ドット　%3 / %4 バイト")
                      .arg(guessed ? QString::fromUtf16(u"≈") : QString(), GroupedNumber(widest),
                           GroupedNumber(bytes), GroupedNumber(kPostByteBudget));
  const bool over = bytes > kPostByteBudget;
  if (over) words += QString::fromUtf16(u"（超過）");
  if (overBudget != nullptr) *overBudget = over;
  return words;
}

QMenu* CreateBoxMenu(QPlainTextEdit* box, const QString& folder, QPoint at) {
  QMenu* menu = box->createStandardContextMenu(at);
  const std::u16string text = BoxText(box).toStdU16String();

  QAction* first = menu->actions().value(0);
  menu->insertAction(first, Readout(text, menu));
  menu->insertSeparator(first);

  menu->addSeparator();
  QAction* copy = menu->addAction(QString::fromUtf16(u"Shift_JIS でコピー"));
  copy->setObjectName(QStringLiteral("copyShiftJis"));
  QObject::connect(copy, &QAction::triggered, box, [box] {
    // Unicode text on the clipboard, as pasting needs; the references are plain ASCII in it.
    CopyToClipboard(
        QString::fromStdU16String(MakeShiftJisSafe(BoxText(box).toStdU16String()).text));
  });
  QAction* save = menu->addAction(QString::fromUtf16(u"画像として保存…"));
  save->setObjectName(QStringLiteral("saveImage"));
  QObject::connect(save, &QAction::triggered, box, [box, folder] {
    QString failure;
    AskAndSaveImage(box, BoxText(box).toStdU16String(), folder, QStringLiteral("koron-aa.png"),
                    &failure);
    if (!failure.isEmpty()) ShowBalloonOnReturn(box, failure);
  });
  // What the window offers with its own shortcut (the library window, in the main window).
  if (auto* library = box->window()->findChild<QAction*>(QStringLiteral("openLibrary"),
                                                         Qt::FindDirectChildrenOnly)) {
    menu->addSeparator();
    menu->addAction(library);
  }
  return menu;
}

void InstallBoxMenu(QPlainTextEdit* box, const QString& folder) {
  box->setContextMenuPolicy(Qt::CustomContextMenu);
  QObject::connect(box, &QPlainTextEdit::customContextMenuRequested, box, [box, folder](QPoint at) {
    QMenu* menu = CreateBoxMenu(box, folder, at);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(box->viewport()->mapToGlobal(at));
  });
}

}  // namespace koron
