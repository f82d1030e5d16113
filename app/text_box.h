#pragma once

#include <QString>
#include <string>

class QPlainTextEdit;

namespace koron {

// Replaces the whole text of a multi-line box. Its lines may be joined by CR LF.
void SetBoxText(QPlainTextEdit* box, const std::u16string& text);

// The whole text of a multi-line box with its lines joined by CR LF, a trailing line break kept
// and every other character as the box holds it. The box itself keeps lines as blocks, so the
// CR LF of the text it was given has to be put back.
QString BoxText(const QPlainTextEdit* box);

// Empties the clipboard, then places `text` on it as plain text and nothing else.
void CopyToClipboard(const QString& text);

}  // namespace koron
