#include "app/text_box.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QTextDocument>

namespace koron {

void SetBoxText(QPlainTextEdit* box, const std::u16string& text) {
  // The box would take a line feed that follows no carriage return for a line break, and copying
  // would then give back CR LF. In a template line it is an ordinary character, so it is held as
  // a line separator, which the box also shows as a break but keeps apart from real lines.
  QString shown = QString::fromStdU16String(text);
  for (qsizetype i = 0; i < shown.size(); ++i) {
    if (shown[i] == u'\n' && (i == 0 || shown[i - 1] != u'\r')) shown[i] = QChar::LineSeparator;
  }
  box->setPlainText(shown);
}

QString BoxText(const QPlainTextEdit* box) {
  // The raw text separates blocks with U+2029 and, unlike toPlainText(), leaves no-break spaces
  // alone. A U+2029 typed or pasted into the box becomes a block break too, so every one of them
  // stands for a line break.
  QString text = box->document()->toRawText();
  text.replace(QChar::ParagraphSeparator, QStringLiteral("\r\n"));
  // A line feed of a template line, as SetBoxText keeps it.
  text.replace(QChar::LineSeparator, QChar(u'\n'));
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
