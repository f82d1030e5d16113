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

#include "app/balloon.h"
#include "boxes/box_text.h"
#include "composer/composer.h"
#include "text/number_reading.h"

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

// Text typed or pasted right after a stand-in would take over its format, and with it what it
// stands for: a Shift+Enter there would come back as a line feed. So wherever the caret comes to
// rest, what it types next is plain.
void KeepTypingPlain(QPlainTextEdit* box) {
  if (box->property("koronTypesPlain").toBool()) return;
  box->setProperty("koronTypesPlain", true);
  QObject::connect(box, &QPlainTextEdit::cursorPositionChanged, box, [box] {
    QTextCursor caret = box->textCursor();
    // With a selection the format would go onto the selected text; typing over it starts with
    // the format of its first character, which a selection of whole lines never has.
    if (caret.hasSelection() || !caret.charFormat().hasProperty(kOriginalCharacter)) return;
    QTextCharFormat plain = caret.charFormat();
    plain.clearProperty(kOriginalCharacter);
    caret.setCharFormat(plain);
    box->setTextCursor(caret);
  });
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
  KeepTypingPlain(box);
  // Marking the stand-ins is part of setting the text, not an edit the user could undo; and one
  // edit block lays the text out once, not once for each stand-in.
  document->setUndoRedoEnabled(false);
  QTextCursor cursor(document);
  cursor.beginEditBlock();
  for (std::size_t first = 0; first < standIns.size();) {
    // Neighbours that stand for the same character share one format.
    std::size_t last = first;
    while (last + 1 < standIns.size() && standIns[last + 1].first == standIns[last].first + 1 &&
           standIns[last + 1].second == standIns[first].second) {
      ++last;
    }
    cursor.setPosition(standIns[first].first);
    cursor.setPosition(standIns[last].first + 1, QTextCursor::KeepAnchor);
    QTextCharFormat format;
    format.setProperty(kOriginalCharacter, static_cast<int>(standIns[first].second.unicode()));
    cursor.mergeCharFormat(format);
    first = last + 1;
  }
  cursor.endEditBlock();
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

void ShowBoxOutcome(const BoxOutcome& outcome, QPlainTextEdit* box, QWidget* button) {
  switch (outcome.refused) {
    case BoxOutcome::Refusal::kNone:
      SetBoxText(box, outcome.text);
      break;
    case BoxOutcome::Refusal::kTemplateTooLong:
      ShowBalloon(button, QString::fromUtf16(
                              u"このＡＡは長すぎます: %1 文字を超えています（上限は %1 文字）")
                              .arg(GroupedNumber(kMaxPictureLength)));
      break;
    case BoxOutcome::Refusal::kTextTooLong:
      ShowBalloon(button,
                  QString::fromUtf16(u"ＡＡが長すぎます: %1 文字（上限は %2 文字）")
                      .arg(GroupedNumber(outcome.length), GroupedNumber(kMaxPictureLength)));
      break;
  }
}

}  // namespace koron
