#pragma once

#include <QWidget>
#include <array>
#include <cstdint>

#include "composer/procession_choices.h"

class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace koron {

class StripLabel;

// Template list files and the position file, opened by bare name in the working directory.
inline constexpr char kPictureListFile[] = "AAList_01.txt";
inline constexpr char kPanelListFile[] = "AAList_02.txt";

// The longest picture, in UTF-16 code units, that the compose button builds and shows; a longer
// one counts as a failed composing step. A count can be typed up to 2147483647, and the text box
// lays out a line in time growing with its length: on a 2-core machine a picture at this limit
// takes 0.15 s (marchers) to 0.55 s (sign bearers, the slowest row) of processor time to show,
// and the time grows in step with the length. Measured with bench_press.
inline constexpr std::uint64_t kMaxPictureLength = 200'000;

// The main window.
class Form1 : public QWidget {
  Q_OBJECT

 public:
  explicit Form1(QWidget* parent = nullptr);

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

 public slots:
  void Command1_Click();
  void Command2_Click();
  void Command3_Click();
  void Command4_Click();
  void Label2_DblClick();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void CreateControls();
  void Form_Load();
  void Form_Unload();
  void MoveToSavedPosition(int topTwips, int leftTwips);
};

// The main window's caption, with the version of this build.
QString MainCaption();

}  // namespace koron
