#pragma once

#include <QString>
#include <string>

class QPlainTextEdit;
class QWidget;

namespace koron {

struct BoxOutcome;

// Replaces the whole text of a multi-line box. Its lines may be joined by CR LF; every other
// character, line separators and lone line feeds included, comes back from BoxText as it was.
void SetBoxText(QPlainTextEdit* box, const std::u16string& text);

// The whole text of a multi-line box: the box's own line breaks as CR LF, a trailing one kept,
// and every character SetBoxText put there as it was given, also after the user's edits.
QString BoxText(const QPlainTextEdit* box);

// Puts a compose button's text in `box`. What is refused leaves the box as it was, and a balloon
// over `button` says why.
void ShowBoxOutcome(const BoxOutcome& outcome, QPlainTextEdit* box, QWidget* button);

// Empties the clipboard, then places `text` on it as plain text and nothing else.
void CopyToClipboard(const QString& text);

}  // namespace koron
