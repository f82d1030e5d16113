#pragma once

#include <QPoint>
#include <QString>
#include <string>
#include <vector>

#include "posting/spacing_fix.h"

class QMenu;
class QPlainTextEdit;
class QWidget;

namespace koron {

// The context menu of a text box: the standard entries, and what posting text art needs. At the
// top, the widest line in dots and the Shift_JIS byte count against the board's budget, marked
// in red when over it (measured when the menu opens, so typing never waits for it); at the
// bottom, a copy that keeps to Shift_JIS and saving the text as a PNG picture, by default as
// koron-aa.png in `folder`, then the window's own action "openLibrary" if it has one. The caller
// owns the menu.
QMenu* CreateBoxMenu(QPlainTextEdit* box, const QString& folder, QPoint at);

// The readout at the top of that menu: the widest line in dots and the Shift_JIS bytes against
// the board's budget; `overBudget` tells whether the bytes pass it.
QString ReadoutWords(const std::u16string& text, bool* overBudget = nullptr);

// Asks where to save `text` as a PNG picture, by default as `fileName` in `folder`, and saves it
// there. Returns the file written; empty when the user chose none or saving failed, which
// `failure` (may be null) then tells in the window's language.
QString AskAndSaveImage(QWidget* parent, const std::u16string& text, const QString& folder,
                        const QString& fileName, QString* failure);

// Rewrites the box's runs of blanks as `board` draws them at the same width (FixSpacing), line by
// line and in place, as one step of the box's undo; the places whose width could not be kept.
std::vector<SpacingMiss> FixBoxSpacing(QPlainTextEdit* box, const BoardProfile& board);

// Gives the box that menu on right-click (and the menu key).
void InstallBoxMenu(QPlainTextEdit* box, const QString& folder);

}  // namespace koron
