#include "app/controls.h"

#include <QComboBox>
#include <QLineEdit>
#include <QListView>
#include <QPlainTextEdit>
#include <QProxyStyle>
#include <QPushButton>
#include <QStringListModel>
#include <limits>

namespace koron {
namespace {

// The drop-downs open as a list below their box, as on Windows, rather than as a menu laid over
// it: before it opens, the menu form measures every item, which takes a second for a list file
// of 500,000 names.
class DropDownStyle : public QProxyStyle {
 public:
  int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                QStyleHintReturn* data) const override {
    if (hint == SH_ComboBox_Popup) return 0;
    return QProxyStyle::styleHint(hint, option, widget, data);
  }
};

}  // namespace

QComboBox* NewList(QWidget* parent, bool editable) {
  auto* combo = new QComboBox(parent);
  static DropDownStyle* const style = new DropDownStyle;
  combo->setStyle(style);
  combo->setEditable(editable);
  if (editable) {
    // Typed text is a value, never a new item, and is not completed from the items.
    combo->setInsertPolicy(QComboBox::NoInsert);
    combo->setCompleter(nullptr);
    // A pasted count is read as it stands, however long; the edit would cut it at 32,767.
    combo->lineEdit()->setMaxLength(std::numeric_limits<int>::max());
  }
  return combo;
}

// A template list holds its names in a string list model: one string each, where the combo box's
// own model would make an item object per name (hundreds of thousands in a large list file).
// Every row has the same height, so the drop-down never measures them all, and the box's width
// is fixed, so it never measures the names either.
QComboBox* NewTemplateList(QWidget* parent) {
  QComboBox* combo = NewList(parent, false);
  combo->setModel(new QStringListModel(combo));
  combo->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  if (auto* view = qobject_cast<QListView*>(combo->view())) view->setUniformItemSizes(true);
  return combo;
}

void ReplaceTemplateNames(QComboBox* combo, const QStringList& names, int leading) {
  const int chosenIndex = combo->currentIndex();
  const QString chosenName = combo->currentText();

  auto* model = static_cast<QStringListModel*>(combo->model());
  QStringList items = model->stringList().mid(0, leading);
  while (items.size() < leading) items.append(QString());
  items += names;
  // One reset of the model rather than a signal per name.
  if (items != model->stringList()) model->setStringList(items);

  int index = -1;
  if (chosenIndex >= leading) {
    index = chosenIndex < items.size() && items[chosenIndex] == chosenName
                ? chosenIndex
                : static_cast<int>(items.indexOf(chosenName, leading));
  } else if (chosenIndex >= 0) {
    index = chosenIndex;  // a leading item
  }
  combo->setCurrentIndex(index);
}

QPushButton* NewButton(QWidget* parent, const QString& caption) {
  auto* button = new QPushButton(caption, parent);
  // Enter and Escape press no button that lacks the focus.
  button->setAutoDefault(false);
  button->setDefault(false);
  return button;
}

QPlainTextEdit* NewTextBox(QWidget* parent) {
  auto* box = new QPlainTextEdit(parent);
  box->setLineWrapMode(QPlainTextEdit::NoWrap);
  box->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  box->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  // Tab moves on to the next control, as in every other box of the window.
  box->setTabChangesFocus(true);
  return box;
}

// Items go in with one call per list: added one by one, each would signal the model's change
// and restart the box's layout timer, which costs more than the items themselves for long lists.
void AddNumberItems(QComboBox* combo, int last) {
  QStringList items;
  items.reserve(last + 1);
  for (int i = 0; i <= last; ++i) items.append(QString::number(i));
  combo->addItems(items);
}

QStringList ToQStringList(const std::vector<std::u16string>& names) {
  QStringList items;
  items.reserve(static_cast<qsizetype>(names.size()));
  for (const std::u16string& name : names) items.append(QString::fromStdU16String(name));
  return items;
}

}  // namespace koron
