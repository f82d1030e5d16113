#include "app/form1.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <functional>
#include <string>
#include <vector>

#include "app/app_icon.h"
#include "app/app_version.h"
#include "app/box_menu.h"
#include "app/controls.h"
#include "app/failure_policy.h"
#include "app/form2.h"
#include "app/library_window.h"
#include "app/list_watcher.h"
#include "app/strip_label.h"
#include "app/text_box.h"
#include "app/window_placement.h"
#include "boxes/box_text.h"
#include "composer/composer.h"
#include "composer/face_items.h"
#include "render/fonts.h"
#include "settings/window_position.h"
#include "templates/named_lists.h"
#include "templates/template_list.h"
#include "text/number_reading.h"

namespace koron {

namespace {

// Client area in twips.
constexpr int kClientWidthTwips = 9045;
constexpr int kClientHeightTwips = 4410;

// Where every control stands, in twips from the client area's top-left corner, and the point
// size of the font it asks for (0: the window's default font).
struct ControlPlace {
  const char* name;
  int left, top, width, height;
  qreal pointSize;
};

constexpr ControlPlace kControlPlaces[] = {
    {"Label1_1", 120, 120, 1275, 315, 12},
    {"Combo2", 1440, 120, 735, 345, 11.25},
    {"Label1_4", 2220, 120, 1275, 315, 12},
    {"Combo5", 3600, 120, 735, 345, 11.25},
    {"Label1_5", 2220, 540, 1275, 315, 12},
    {"Combo6", 3600, 540, 735, 345, 11.25},
    {"Label1_0", 120, 960, 795, 315, 12},
    {"Combo1", 1440, 960, 1935, 345, 11.25},
    {"Check2", 3480, 960, 855, 315, 0},
    {"Label1_2", 120, 1380, 1215, 315, 12},
    {"Combo3", 1440, 1380, 2895, 345, 11.25},
    {"Check1", 1440, 1800, 1575, 315, 0},
    {"Command1", 120, 1860, 1155, 615, 9.75},
    {"Command2", 3180, 1860, 1155, 615, 9.75},
    {"TextAA", 120, 2580, 4215, 1695, 0},
    // A one-pixel line from (4500, 120) to (4500, 4320), both ends drawn.
    {"Line1", 4500, 120, 15, 4215, 0},
    {"Label2", 4440, 120, 135, 4215, 0},
    {"Label1_3", 4680, 120, 975, 315, 12},
    {"Combo4", 5700, 120, 2895, 345, 11.25},
    {"Command4", 4740, 1860, 1155, 615, 9.75},
    {"Command3", 7740, 1860, 1155, 615, 9.75},
    {"TextAA2", 4680, 2580, 4215, 1695, 0},
};

// Captions of the Label1 group, by index.
const char16_t* const kLabel1Captions[6] = {
    u"顔選択",              // choice of face
    u"逮捕者人数",          // number of people arrested
    u"追加\uFF21\uFF21",    // added picture
    u"\uFF21\uFF21選択",    // choice of picture
    u"\uFF0BKORON星王子",   // cheering figures
    u"\uFF0Bど\u30FCも君",  // sign bearers
};

QString Q(const char16_t* text) { return QString::fromUtf16(text); }

std::u16string ToU16(const QString& text) { return text.toStdU16String(); }

// Why a list stayed empty, in the words of its grey placeholder.
QString EmptyListReason(const QString& folder, const char* name) {
  const QString file = QString::fromLatin1(name);
  const QFileInfo info(QDir(folder).filePath(file));
  QString reason;
  if (!info.exists()) {
    reason = Q(u"%1 がありません");
  } else if (!info.isFile() || !info.isReadable()) {
    reason = Q(u"%1 を読めません");
  } else {
    reason = Q(u"%1 に名前がありません");
  }
  return reason.arg(file) + Q(u"（フォルダ: %1）").arg(QDir::toNativeSeparators(folder));
}

bool IsEnterKey(const QEvent* event) {
  if (event->type() != QEvent::KeyPress) return false;
  const int key = static_cast<const QKeyEvent*>(event)->key();
  return key == Qt::Key_Return || key == Qt::Key_Enter;
}

}  // namespace

QString MainCaption() {
  return Q(u"\uFF2B\uFF2F\uFF32\uFF2F\uFF2E \uFF21\uFF21作成  Ver.") +
         QStringLiteral(KORON_APP_VERSION);
}

Form1::Form1(const QString& folder, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint) {
  folder_ = QDir(folder.isEmpty() ? QDir::currentPath() : folder).absolutePath();
  setObjectName(QStringLiteral("Form1"));
  setWindowTitle(MainCaption());
  setWindowIcon(AppIcon());
  setFont(WindowDefaultFont());
  setFixedSize(kClientWidthTwips / kTwipsPerPixel, kClientHeightTwips / kTwipsPerPixel);

  CreateControls();
  Form_Load();
  Combo2->setFocus(Qt::OtherFocusReason);
}

Form1::~Form1() { delete library_; }

void Form1::CreateControls() {
  for (int i = 0; i < 6; ++i) {
    auto* label = new QLabel(Q(kLabel1Captions[i]), this);
    label->setObjectName(QStringLiteral("Label1_%1").arg(i));
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Label1[static_cast<std::size_t>(i)] = label;
  }

  Combo1 = NewList(this, false);
  Combo2 = NewList(this, true);
  Combo3 = NewTemplateList(this);
  Combo4 = NewTemplateList(this);
  Combo5 = NewList(this, true);
  Combo6 = NewList(this, true);
  Check1 = new QCheckBox(Q(u"追加のみ"), this);
  Check2 = new QCheckBox(Q(u"耳付き"), this);
  Command1 = NewButton(this, Q(u"AA作成"));
  Command2 = NewButton(this, QStringLiteral("COPY"));
  Command3 = NewButton(this, QStringLiteral("COPY"));
  Command4 = NewButton(this, Q(u"AA作成"));
  TextAA = NewTextBox(this);
  TextAA2 = NewTextBox(this);

  Line1 = new QFrame(this);
  Line1->setFrameShape(QFrame::VLine);
  Line1->setFrameShadow(QFrame::Plain);
  Line1->setLineWidth(1);
  Line1->setAttribute(Qt::WA_TransparentForMouseEvents);

  // Created after the line, so it lies over it; it draws nothing, so the line shows through.
  Label2 = new StripLabel(this);
  Label2->setFrameShape(QFrame::NoFrame);
  Label2->setAutoFillBackground(false);

  const struct {
    QWidget* widget;
    const char* name;
    const char16_t* accessibleName;
    const char16_t* description;
  } named[] = {
      {Combo1, "Combo1", u"顔選択", u"逮捕者の顔"},
      {Combo2, "Combo2", u"逮捕者人数", u"逮捕者の人数"},
      {Combo3, "Combo3", u"追加\uFF21\uFF21", u"絵の下に追加するAA"},
      {Combo4, "Combo4", u"\uFF21\uFF21選択", u"右の欄に表示するAA"},
      {Combo5, "Combo5", u"\uFF0BKORON星王子", u"応援する人数"},
      {Combo6, "Combo6", u"\uFF0Bど\u30FCも君", u"看板を持つ人数"},
      {Check1, "Check1", u"追加のみ", u"追加AAだけを出力する"},
      {Check2, "Check2", u"耳付き", u"逮捕者に耳を付ける"},
      {Command1, "Command1", u"AA作成", u"左の欄に絵を作る"},
      {Command2, "Command2", u"COPY", u"左の欄をコピーする"},
      {Command3, "Command3", u"COPY", u"右の欄をコピーする"},
      {Command4, "Command4", u"AA作成", u"選んだAAを右の欄に表示する"},
      {TextAA, "TextAA", u"作成したAA", u"作成した絵"},
      {TextAA2, "TextAA2", u"選択したAA", u"選んだAA"},
      {Label2, "Label2", u"おまけ", u"ダブルクリックでおまけを開く"},
      {Line1, "Line1", u"区切り線", u"左右の区切り"},
  };
  for (const auto& entry : named) {
    entry.widget->setObjectName(QString::fromLatin1(entry.name));
    entry.widget->setAccessibleName(Q(entry.accessibleName));
    entry.widget->setAccessibleDescription(Q(entry.description));
  }
  for (QLabel* label : Label1) label->setAccessibleName(label->text());
  // The cheering figures' caption is wider than its label.
  Label1[4]->setToolTip(Label1[4]->text());

  for (const ControlPlace& place : kControlPlaces) {
    auto* widget = findChild<QWidget*>(QString::fromLatin1(place.name), Qt::FindDirectChildrenOnly);
    widget->setGeometry(place.left / kTwipsPerPixel, place.top / kTwipsPerPixel,
                        place.width / kTwipsPerPixel, place.height / kTwipsPerPixel);
    if (place.pointSize > 0) widget->setFont(ControlFont(place.pointSize));
  }

  QWidget* tabOrder[] = {Combo2, Combo1,   Combo3,   Check1,  Command1, Command2, TextAA,
                         Combo4, Command4, Command3, TextAA2, Combo5,   Combo6,   Check2};
  for (std::size_t i = 1; i < std::size(tabOrder); ++i) {
    setTabOrder(tabOrder[i - 1], tabOrder[i]);
  }

  // Anywhere in the window, and in both boxes' menus (which find it by name). Only the action
  // exists until it is used: the library and its index are opened with its window.
  auto* openLibrary = new QAction(Q(u"\uFF21\uFF21庫を開く"), this);
  openLibrary->setObjectName(QStringLiteral("openLibrary"));
  openLibrary->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_L));
  openLibrary->setShortcutContext(Qt::WindowShortcut);
  connect(openLibrary, &QAction::triggered, this, [this] { RunOrSkip([this] { OpenLibrary(); }); });
  addAction(openLibrary);

  InstallBoxMenu(TextAA, folder_);
  InstallBoxMenu(TextAA2, folder_);

  connect(Command1, &QPushButton::clicked, this, &Form1::Command1_Click);
  connect(Command2, &QPushButton::clicked, this, &Form1::Command2_Click);
  connect(Command3, &QPushButton::clicked, this, &Form1::Command3_Click);
  connect(Command4, &QPushButton::clicked, this, &Form1::Command4_Click);
  connect(Label2, &StripLabel::doubleClicked, this, &Form1::Label2_DblClick);

  // Enter in the choices of the left half composes; in the right-hand list it shows the template.
  // An editable list takes its keys in its line edit.
  for (QWidget* choice : std::initializer_list<QWidget*>{Combo1, Combo2, Combo3, Combo4, Combo5,
                                                         Combo6, Check1, Check2, Combo2->lineEdit(),
                                                         Combo5->lineEdit(), Combo6->lineEdit()}) {
    choice->installEventFilter(this);
  }
}

void Form1::Form_Load() {
  // Step 1 has its own fallback: any failure puts the window at 0, 0.
  const bool placed = RunOrSkip([this] {
    const WindowPosition position = LoadWindowPosition(FilePath(kPositionFile));
    MoveToSavedPosition(this, position.Top, position.Left);
  });
  if (!placed) move(0, 0);

  // From here on a failing step is skipped and the next one runs.
  const std::function<void()> steps[] = {
      [this] {
        QStringList faces;
        for (const char16_t* face : kFaceItems) faces.append(Q(face));
        Combo1->addItems(faces);
        Combo1->setCurrentIndex(0);
      },
      [this] {
        AddNumberItems(Combo2, 20);
        Combo2->setCurrentIndex(0);
      },
      [this] {
        AddNumberItems(Combo5, 10);
        Combo5->setCurrentIndex(0);
      },
      [this] {
        AddNumberItems(Combo6, 10);
        Combo6->setCurrentIndex(0);
      },
      [this] {
        for (const TemplateListInfo& list : kTemplateLists) {
          if (!list.leadingEmptyItem) continue;
          QComboBox* combo = ListBox(list.list);
          combo->addItem(QString());
          combo->setCurrentIndex(-1);
        }
      },
      // The lists follow their files. The watch starts before they are read, so that a change
      // made while they are read is not missed.
      [this] {
        QStringList files;
        for (const TemplateListInfo& list : kTemplateLists) files.append(QLatin1String(list.file));
        listWatcher_ = new ListWatcher(folder_, files, this);
        connect(listWatcher_, &ListWatcher::listChanged, this, [this](int which) {
          RunOrSkip([&] { FillTemplateList(kTemplateLists[which].list); });
        });
      },
  };
  for (const std::function<void()>& step : steps) RunOrSkip(step);
  // One list file at a time, each read to its end before the next is opened.
  for (const TemplateListInfo& list : kTemplateLists) {
    RunOrSkip([&] { FillTemplateList(list.list); });
  }
}

QComboBox* Form1::ListBox(TemplateList list) const {
  return findChild<QComboBox*>(QLatin1String(ListInfo(list).box), Qt::FindDirectChildrenOnly);
}

void Form1::FillTemplateList(TemplateList list) {
  const TemplateListInfo& info = ListInfo(list);
  QComboBox* combo = ListBox(list);
  const QStringList names = ToQStringList(ListTemplateNames(FilePath(info.file)));
  ReplaceTemplateNames(combo, names, info.leadingEmptyItem ? 1 : 0);

  const QString reason = names.isEmpty() ? EmptyListReason(folder_, info.file) : QString();
  combo->setPlaceholderText(reason);
  combo->setToolTip(reason);
}

std::string Form1::FilePath(const char* name) const {
  return QFile::encodeName(QDir(folder_).filePath(QString::fromLatin1(name))).toStdString();
}

bool Form1::eventFilter(QObject* watched, QEvent* event) {
  if (!IsEnterKey(event)) return QWidget::eventFilter(watched, event);
  if (watched == Combo4) {
    Command4_Click();
  } else {
    Command1_Click();
  }
  return true;
}

void Form1::closeEvent(QCloseEvent* event) {
  if (library_ != nullptr) library_->close();
  Form_Unload();
  QWidget::closeEvent(event);
}

void Form1::Form_Unload() {
  // The frame's position; the window closes whatever becomes of the file.
  RunOrSkip([this] {
    const QPoint frame = pos();
    SaveWindowPosition(static_cast<float>(frame.y()) * kTwipsPerPixel,
                       static_cast<float>(frame.x()) * kTwipsPerPixel, FilePath(kPositionFile));
  });
}

ProcessionChoices Form1::ReadProcessionChoices() const {
  const std::u16string marchers = ToU16(Combo2->currentText());
  const std::u16string face = ToU16(Combo1->currentText());
  const std::u16string cheer = ToU16(Combo5->currentText());
  const std::u16string signs = ToU16(Combo6->currentText());
  const std::u16string templateName = ToU16(Combo3->currentText());
  ProcessionTexts texts;
  texts.Marchers = marchers;
  texts.FaceText = face;
  texts.FaceIndex = static_cast<std::int16_t>(Combo1->currentIndex());
  texts.Ears = Check2->isChecked();
  texts.Cheer = cheer;
  texts.Signs = signs;
  texts.TemplateName = templateName;
  texts.TemplateOnly = Check1->isChecked();
  return ChoicesFromTexts(texts);
}

void Form1::Command1_Click() {
  // When composing fails the box keeps its text: adding the template to an old picture would
  // show something nobody asked for.
  RunOrSkip([this] {
    ShowBoxOutcome(
        PictureBoxText(ReadProcessionChoices(), FilePath(ListInfo(TemplateList::kPicture).file),
                       kMaxPictureLength),
        TextAA, Command1);
  });
}

void Form1::Command2_Click() { CopyToClipboard(BoxText(TextAA)); }

void Form1::Command3_Click() { CopyToClipboard(BoxText(TextAA2)); }

void Form1::Command4_Click() {
  RunOrSkip([this] {
    ShowBoxOutcome(PanelBoxText(ToU16(Combo4->currentText()),
                                FilePath(ListInfo(TemplateList::kPanel).file), kMaxPictureLength),
                   TextAA2, Command4);
  });
}

bool Form1::ShowInPanel(const std::u16string& text) {
  bool shown = false;
  RunOrSkip([&] {
    const BoxOutcome outcome = EntryBoxText(text, kMaxPictureLength);
    ShowBoxOutcome(outcome, TextAA2, Command4);
    shown = outcome.refused == BoxOutcome::Refusal::kNone;
  });
  return shown;
}

LibraryWindow* Form1::OpenedLibrary() const { return library_; }

LibraryWindow* Form1::OpenLibrary() {
  if (library_ == nullptr) {
    library_ = new LibraryWindow(folder_, this);
    library_->show();
  }
  library_->raise();
  library_->activateWindow();
  return library_;
}

void Form1::Label2_DblClick() {
  // Built afresh each time and gone once closed; QDialog centres it over its owner.
  Form2 about(this);
  about.exec();
}

}  // namespace koron
