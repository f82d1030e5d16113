#include "app/box_menu.h"

#include <QAction>
#include <QDir>
#include <QFileDialog>
#include <QMenu>
#include <QPainter>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextCursor>
#include <algorithm>

#include "app/balloon.h"
#include "app/board_choice.h"
#include "app/text_box.h"
#include "posting/post_check.h"
#include "posting/post_split.h"
#include "posting/shift_jis_safe.h"
#include "posting/spacing_fix.h"
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

// Where "分割してコピー" stands in a box's text: the text it was cut from (by its hash and
// length, so that any edit starts it again) and the part copied last.
const char* const kSplitProperty = "koronSplit";

// The part copied last of `text` (1-based); 0 for none, or when the text is another.
int CopiedPart(const QPlainTextEdit* box, const QString& text) {
  const QVariantList kept = box->property(kSplitProperty).toList();
  if (kept.size() != 3 || kept[0].toULongLong() != qHash(text) ||
      kept[1].toLongLong() != text.size()) {
    return 0;
  }
  return kept[2].toInt();
}

struct CopiedSplit {
  int part = 0;  // 1-based
  std::size_t count = 0;
  bool oversized = false;  // a single line over the board's limits
};

// Copies the part after the one copied last (the first again after the last).
CopiedSplit CopyNextPart(QPlainTextEdit* box) {
  const QString text = BoxText(box);
  const std::u16string whole = text.toStdU16String();
  const PostSplit split = SplitPost(whole, ChosenBoard());
  CopiedSplit copied;
  copied.count = split.parts.size();
  copied.part = CopiedPart(box, text) % static_cast<int>(copied.count) + 1;
  const auto index = static_cast<std::size_t>(copied.part - 1);
  CopyToClipboard(QString::fromStdU16String(std::u16string(split.parts[index])));
  copied.oversized =
      std::find(split.oversized.begin(), split.oversized.end(), index) != split.oversized.end();
  box->setProperty(kSplitProperty, QVariantList{static_cast<qulonglong>(qHash(text)),
                                                static_cast<qlonglong>(text.size()), copied.part});
  return copied;
}

}  // namespace

std::vector<SpacingMiss> FixBoxSpacing(QPlainTextEdit* box, const BoardProfile& board) {
  std::vector<SpacingMiss> misses;
  QTextDocument* document = box->document();
  QTextCursor cursor(document);
  // One edit, undone at once; from the last line up, so that earlier positions stay put.
  cursor.beginEditBlock();
  for (QTextBlock block = document->lastBlock(); block.isValid(); block = block.previous()) {
    const SpacingFix fix = FixSpacing(block.text().toStdU16String(), board);
    for (auto edit = fix.edits.rbegin(); edit != fix.edits.rend(); ++edit) {
      const int at = block.position() + static_cast<int>(edit->offset);
      cursor.setPosition(at);
      cursor.setPosition(at + static_cast<int>(edit->length), QTextCursor::KeepAnchor);
      // A plain format: blanks never take over a neighbour's mark of a character it stands for.
      cursor.insertText(QString::fromStdU16String(edit->run), QTextCharFormat());
    }
    for (SpacingMiss miss : fix.misses) {
      miss.line = static_cast<std::size_t>(block.blockNumber()) + 1;
      misses.push_back(miss);
    }
  }
  cursor.endEditBlock();
  std::sort(misses.begin(), misses.end(), [](const SpacingMiss& a, const SpacingMiss& b) {
    return a.line != b.line ? a.line < b.line : a.column < b.column;
  });
  return misses;
}

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
  const BoardProfile& board = ChosenBoard();
  const std::vector<PostProblem> problems = CheckPost(text, board);
  // The board counts "<br>" and "&lt;" and the like: a post can pass its limit while its
  // Shift_JIS bytes do not.
  std::uint64_t boardBytes = 0;
  for (const PostProblem& problem : problems) {
    if (problem.kind == PostProblemKind::kOverByteLimit) boardBytes = problem.count;
  }
  // A line measured partly in a face other than the text-art ones may be wider or narrower on
  // the board, so the widest figure is only about right.
  const std::vector<bool> approximate = TextArtApproximateLines(text);
  const bool guessed = std::find(approximate.begin(), approximate.end(), true) != approximate.end();
  QString words = QString::fromUtf16(u"幅 %1%2 ドット　%3 / %4 バイト")
                      .arg(guessed ? QString::fromUtf16(u"≈") : QString(), GroupedNumber(widest),
                           GroupedNumber(bytes), GroupedNumber(board.byteLimit));
  bool over = bytes > board.byteLimit || boardBytes > board.byteLimit;
  if (boardBytes > board.byteLimit && boardBytes != bytes) {
    words += QString::fromUtf16(u"（掲示板の数え方では %1 バイト、超過）")
                 .arg(GroupedNumber(boardBytes));
  } else if (over) {
    words += QString::fromUtf16(u"（超過）");
  }
  // What the chosen board would not show as it stands (CheckPost), marked as the budget is.
  if (!problems.empty()) {
    words += QString::fromUtf16(u"　ずれ %1 か所").arg(GroupedNumber(problems.size()));
    over = true;
  }
  if (overBudget != nullptr) *overBudget = over;
  return words;
}

QMenu* CreateBoxMenu(QPlainTextEdit* box, const QString& folder, QPoint at) {
  QMenu* menu = box->createStandardContextMenu(at);
  const std::u16string text = BoxText(box).toStdU16String();

  QAction* first = menu->actions().value(0);
  QAction* readout = Readout(text, menu);
  // Where 分割してコピー stands: the part copied last of how many.
  const std::size_t parts = SplitPost(text, ChosenBoard()).parts.size();
  const int copied = CopiedPart(box, QString::fromStdU16String(text));
  if (copied > 0) {
    readout->setText(readout->text() +
                     QString::fromUtf16(u"　分割 %1 / %2").arg(copied).arg(parts));
  }
  menu->insertAction(first, readout);
  menu->insertSeparator(first);

  menu->addSeparator();
  QAction* copy = menu->addAction(QString::fromUtf16(u"Shift_JIS でコピー"));
  copy->setObjectName(QStringLiteral("copyShiftJis"));
  QObject::connect(copy, &QAction::triggered, box, [box] {
    // Unicode text on the clipboard, as pasting needs; the references are plain ASCII in it.
    CopyToClipboard(
        QString::fromStdU16String(MakeShiftJisSafe(BoxText(box).toStdU16String()).text));
  });
  // Parts that fit the board, one a use: the caption tells which comes next.
  const int next = copied % static_cast<int>(parts) + 1;
  QAction* split = menu->addAction(
      parts > 1 ? QString::fromUtf16(u"分割してコピー（%1 / %2）").arg(next).arg(parts)
                : QString::fromUtf16(u"分割してコピー"));
  split->setObjectName(QStringLiteral("copySplit"));
  QObject::connect(split, &QAction::triggered, box, [box] {
    const CopiedSplit copied = CopyNextPart(box);
    ShowBalloon(
        box, QString::fromUtf16(copied.oversized ? u"%1 / %2 をコピーしました（1 行で掲示板の上限を"
                                                   u"超えています）"
                                                 : u"%1 / %2 をコピーしました")
                 .arg(copied.part)
                 .arg(copied.count));
  });
  QAction* spacing = menu->addAction(QString::fromUtf16(u"掲示板向けに空白を整える"));
  spacing->setObjectName(QStringLiteral("fixSpacing"));
  spacing->setEnabled(!box->isReadOnly());
  QObject::connect(spacing, &QAction::triggered, box, [box] {
    const std::vector<SpacingMiss> misses = FixBoxSpacing(box, ChosenBoard());
    if (misses.empty()) return;
    QStringList places;
    for (const SpacingMiss& miss : misses) {
      if (places.size() == 5) {
        places << QStringLiteral("…");
        break;
      }
      places << QString::fromUtf16(u"%1 行 %2 文字目 %3%4 ドット")
                    .arg(miss.line)
                    .arg(miss.column)
                    .arg(miss.dots > 0 ? QStringLiteral("+") : QString())
                    .arg(miss.dots);
    }
    ShowBalloon(box, QString::fromUtf16(u"%1 か所は幅を保てませんでした: %2")
                         .arg(GroupedNumber(misses.size()), places.join(QStringLiteral("、"))));
  });
  QAction* save = menu->addAction(QString::fromUtf16(u"画像として保存…"));
  save->setObjectName(QStringLiteral("saveImage"));
  QObject::connect(save, &QAction::triggered, box, [box, folder] {
    QString failure;
    AskAndSaveImage(box, BoxText(box).toStdU16String(), folder, QStringLiteral("koron-aa.png"),
                    &failure);
    if (!failure.isEmpty()) ShowBalloonOnReturn(box, failure);
  });
  menu->addSeparator();
  menu->addMenu(CreateBoardMenu(box, menu));
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
