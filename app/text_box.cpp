#include "app/text_box.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QTextDocument>

namespace koron {

void SetBoxText(QPlainTextEdit* box, const std::u16string& text) {
  box->setPlainText(QString::fromStdU16String(text));
}

QString BoxText(const QPlainTextEdit* box) {
  // The raw text separates blocks with U+2029 and, unlike toPlainText(), leaves no-break spaces
  // alone. A U+2029 typed or pasted into the box becomes a block break too, so every one of them
  // stands for a line break.
  QString text = box->document()->toRawText();
  text.replace(QChar::ParagraphSeparator, QStringLiteral("\r\n"));
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
