#include "app/text_box.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <utility>
#include <vector>

namespace koron {
namespace {

// The character format property that holds what a stand-in character of the box really is.
constexpr int kOriginalCharacter = QTextFormat::UserProperty + 1;

// The box turns these into block breaks (or, for the two noncharacters, frame marks), which would
// come back from it as CR LF or not at all. A text that holds them shows a stand-in that carries
// the original in its format.
bool NeedsStandIn(const QString& text, qsizetype i) {
  switch (text[i].unicode()) {
    case u'\n':
      return i == 0 || text[i - 1] != u'\r';
    case u'\r':
      return i + 1 == text.size() || text[i + 1] != u'\n';
    case QChar::LineSeparator:
    case QChar::ParagraphSeparator:
    case 0xFDD0:
    case 0xFDD1:
      return true;
    default:
      return false;
  }
}

// Line ends of every kind still show as a break; the noncharacters as the replacement character.
QChar StandInFor(QChar c) {
  return c.unicode() == 0xFDD0 || c.unicode() == 0xFDD1 ? QChar(QChar::ReplacementCharacter)
                                                        : QChar(QChar::LineSeparator);
}

}  // namespace

void SetBoxText(QPlainTextEdit* box, const std::u16string& text) {
  const QString given = QString::fromStdU16String(text);
  QString shown;
  shown.reserve(given.size());
  std::vector<std::pair<int, QChar>> standIns;  // document position, original character
  int position = 0;
  for (qsizetype i = 0; i < given.size(); ++i) {
    if (given[i] == u'\r' && i + 1 < given.size() && given[i + 1] == u'\n') {
      shown += u'\n';  // one of the text's own line breaks: a block break
      ++i;
    } else if (NeedsStandIn(given, i)) {
      standIns.emplace_back(position, given[i]);
      shown += StandInFor(given[i]);
    } else {
      shown += given[i];
    }
    ++position;
  }

  QTextDocument* document = box->document();
  box->setPlainText(shown);
  if (standIns.empty()) return;
  // Marking the stand-ins is part of setting the text, not an edit the user could undo.
  document->setUndoRedoEnabled(false);
  QTextCursor cursor(document);
  for (const auto& [at, original] : standIns) {
    cursor.setPosition(at);
    cursor.setPosition(at + 1, QTextCursor::KeepAnchor);
    QTextCharFormat format;
    format.setProperty(kOriginalCharacter, static_cast<int>(original.unicode()));
    cursor.mergeCharFormat(format);
  }
  document->setUndoRedoEnabled(true);
  document->setModified(false);
}

QString BoxText(const QPlainTextEdit* box) {
  // Blocks are the box's own lines and are joined by CR LF. Inside a block, a stand-in gives back
  // the character it holds; a line separator without one was typed (Shift+Enter) and is a line
  // break like any other. Unlike toPlainText(), no-break spaces are left alone.
  QString text;
  const QTextDocument* document = box->document();
  for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
    if (block != document->begin()) text += QStringLiteral("\r\n");
    for (auto fragment = block.begin(); !fragment.atEnd(); ++fragment) {
      const QTextFragment piece = fragment.fragment();
      const QVariant original = piece.charFormat().property(kOriginalCharacter);
      for (QChar c : piece.text()) {
        if (original.isValid() && c == StandInFor(QChar(original.toInt()))) {
          text += QChar(original.toInt());
        } else if (c == QChar::LineSeparator) {
          text += QStringLiteral("\r\n");
        } else {
          text += c;
        }
      }
    }
  }
  return text;
}

void CopyToClipboard(const QString& text) {
  QClipboard* clipboard = QGuiApplication::clipboard();
  clipboard->clear();
  auto* data = new QMimeData;
  data->setText(text);
  clipboard->setMimeData(data);
}

}  // namespace koron
