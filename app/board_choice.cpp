#include "app/board_choice.h"

#include <QActionGroup>
#include <QFile>
#include <QFileDialog>
#include <QMenu>
#include <QSettings>
#include <QStandardPaths>
#include <optional>

#include "app/balloon.h"
#include "app/failure_policy.h"

namespace koron {
namespace {

const QString kBoardKey = QStringLiteral("Board/name");

// The chosen profile, read from the settings once and again after each choice, or when the
// settings are somewhere else (tests move them).
struct Choice {
  QString settings;
  std::optional<BoardProfile> profile;
};

std::optional<BoardProfile>& Cached() {
  static Choice chosen;
  if (chosen.settings != SettingsPath()) {
    chosen.settings = SettingsPath();
    chosen.profile.reset();
  }
  return chosen.profile;
}

std::string Local(const QString& path) { return QFile::encodeName(path).toStdString(); }

}  // namespace

QString SettingsPath() {
  return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
         QStringLiteral("/koron-aa/koron-aa.conf");
}

QString BoardFolder() {
  return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
         QStringLiteral("/koron-aa/boards");
}

const BoardProfile& ChosenBoard() {
  std::optional<BoardProfile>& chosen = Cached();
  if (!chosen) {
    const QString name =
        QSettings(SettingsPath(), QSettings::IniFormat).value(kBoardKey).toString();
    BoardProfileResult found;
    if (!name.isEmpty()) found = FindBoardProfile(name.toStdString(), Local(BoardFolder()));
    chosen = found.ok ? found.profile : DefaultBoardProfile();
  }
  return *chosen;
}

void ChooseBoard(const QString& name) {
  QSettings(SettingsPath(), QSettings::IniFormat).setValue(kBoardKey, name);
  Cached().reset();
}

std::vector<BoardProfile> AvailableBoards() {
  std::vector<BoardProfile> boards = BuiltInBoardProfiles();
  for (BoardProfile& kept : KeptBoardProfiles(Local(BoardFolder()))) {
    boards.push_back(std::move(kept));
  }
  return boards;
}

QString AdoptBoardSettings(const QString& path) {
  const BoardProfileResult made = ReadBoardSettingsFile(Local(path));
  if (!made.ok) {
    return QString::fromUtf16(u"掲示板を作れませんでした: %1")
        .arg(QString::fromStdString(made.error));
  }
  std::string error;
  if (!KeepBoardProfile(made.profile, Local(BoardFolder()), &error)) {
    return QString::fromUtf16(u"掲示板を保存できませんでした: %1")
        .arg(QString::fromStdString(error));
  }
  ChooseBoard(QString::fromStdString(made.profile.name));
  return QString();
}

QMenu* CreateBoardMenu(QWidget* anchor, QMenu* parent) {
  auto* menu = new QMenu(QString::fromUtf16(u"掲示板"), parent);
  menu->setObjectName(QStringLiteral("boards"));
  auto* group = new QActionGroup(menu);
  const std::string chosen = ChosenBoard().name;
  for (const BoardProfile& board : AvailableBoards()) {
    const QString name = QString::fromStdString(board.name);
    QAction* action = menu->addAction(
        QString::fromUtf16(u"%1（%2 バイト・%3 行）")
            .arg(name, GroupedNumber(board.byteLimit), GroupedNumber(board.lineLimit)));
    action->setData(name);
    action->setCheckable(true);
    action->setChecked(board.name == chosen);
    group->addAction(action);
    QObject::connect(action, &QAction::triggered, menu, [name] { ChooseBoard(name); });
  }
  menu->addSeparator();
  QAction* read = menu->addAction(QString::fromUtf16(u"SETTING.TXT を読み込む…"));
  read->setObjectName(QStringLiteral("readBoardSettings"));
  QObject::connect(read, &QAction::triggered, anchor, [anchor] {
    RunOrSkip([anchor] {
      const QString path = QFileDialog::getOpenFileName(
          anchor, QString::fromUtf16(u"掲示板の SETTING.TXT"), QString(),
          QString::fromUtf16(u"SETTING.TXT (SETTING.TXT *.txt *.TXT);;すべてのファイル (*)"));
      if (path.isEmpty()) return;
      const QString problem = AdoptBoardSettings(path);
      if (!problem.isEmpty()) ShowBalloonOnReturn(anchor, problem);
    });
  });
  return menu;
}

}  // namespace koron
