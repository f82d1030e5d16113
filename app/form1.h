#pragma once

#include <QPointer>
#include <QWidget>
#include <array>
#include <cstdint>
#include <string>

#include "composer/procession_choices.h"
#include "templates/named_lists.h"

class QCheckBox;
class QEvent;
class QComboBox;
class QFrame;
class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace koron {

class LibraryWindow;
class ListWatcher;
class StripLabel;

// The main window.
class Form1 : public QWidget {
  Q_OBJECT

 public:
  // `folder` holds the template lists and the position file; empty means the current directory.
  explicit Form1(const QString& folder = QString(), QWidget* parent = nullptr);
  ~Form1() override;

  // The working folder, as an absolute path.
  const QString& folder() const { return folder_; }

  // The controls, named as the tests, the accessibility tree and the handlers know them.
  QComboBox* Combo1 = nullptr;  // face
  QComboBox* Combo2 = nullptr;  // number of marchers (editable)
  QComboBox* Combo3 = nullptr;  // template added to the picture
  QComboBox* Combo4 = nullptr;  // template shown in the panel
  QComboBox* Combo5 = nullptr;  // number of cheering figures (editable)
  QComboBox* Combo6 = nullptr;  // number of sign bearers (editable)
  QCheckBox* Check1 = nullptr;  // template only
  QCheckBox* Check2 = nullptr;  // ears
  QPushButton* Command1 = nullptr;
  QPushButton* Command2 = nullptr;
  QPushButton* Command3 = nullptr;
  QPushButton* Command4 = nullptr;
  QPlainTextEdit* TextAA = nullptr;
  QPlainTextEdit* TextAA2 = nullptr;
  std::array<QLabel*, 6> Label1{};  // captions, object names Label1_0 .. Label1_5
  StripLabel* Label2 = nullptr;
  QFrame* Line1 = nullptr;

  // The current choices of the left half, counts converted.
  ProcessionChoices ReadProcessionChoices() const;

  // Shows a picture from the library in TextAA2 as Command4 shows a template, with its length
  // limit and balloon. Returns whether it is shown.
  bool ShowInPanel(const std::u16string& text);

  // The library window, opened over this one or, when open, raised (Ctrl+L).
  LibraryWindow* OpenLibrary();
  // The open library window; null when none.
  LibraryWindow* OpenedLibrary() const;

 public slots:
  void Command1_Click();
  void Command2_Click();
  void Command3_Click();
  void Command4_Click();
  void Label2_DblClick();

 protected:
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void CreateControls();
  void Form_Load();
  void Form_Unload();
  // The drop-down of a template list.
  QComboBox* ListBox(TemplateList list) const;
  // Fills a template list from its file, after its leading empty item if it has one. A name that
  // was chosen and is still listed stays chosen; an empty list says why in grey.
  void FillTemplateList(TemplateList list);
  // The path of a file of the working folder, as the core's file functions take it.
  std::string FilePath(const char* name) const;

  QString folder_;
  ListWatcher* listWatcher_ = nullptr;
  QPointer<LibraryWindow> library_;
};

// The main window's caption, with the version of this build.
QString MainCaption();

}  // namespace koron
