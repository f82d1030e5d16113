#pragma once

#include <QString>
#include <QStringList>
#include <string>
#include <vector>

class QComboBox;
class QPlainTextEdit;
class QPushButton;
class QWidget;

namespace koron {

// The controls the tool's windows are built from, each set up as every window of the tool wants
// it.

// A drop-down that opens as a list below its box. An editable one takes typed text as a value,
// never as a new item, of any length.
QComboBox* NewList(QWidget* parent, bool editable);

// A drop-down of template names, cheap for hundreds of thousands of them.
QComboBox* NewTemplateList(QWidget* parent);

// Puts `names` in a drop-down made by NewTemplateList, after its first `leading` items (an empty
// item meaning "no template", made when missing). A name that was chosen and is still listed
// stays chosen: the same item when it still holds the name, else the first item that does.
void ReplaceTemplateNames(QComboBox* combo, const QStringList& names, int leading);

// A button that Enter and Escape press only when it has the focus.
QPushButton* NewButton(QWidget* parent, const QString& caption);

// A multi-line box for text art: lines never wrap, Tab moves on to the next control.
QPlainTextEdit* NewTextBox(QWidget* parent);

// Adds the items "0" to `last` in one call.
void AddNumberItems(QComboBox* combo, int last);

// Names from the core, as a list's items.
QStringList ToQStringList(const std::vector<std::u16string>& names);

}  // namespace koron
