#pragma once

#include <QString>
#include <vector>

#include "posting/board_profile.h"

class QMenu;
class QWidget;

namespace koron {

// Where the windows' own settings are kept: $XDG_CONFIG_HOME/koron-aa/koron-aa.conf.
QString SettingsPath();

// Where the board profiles made from SETTING.TXT are kept: $XDG_CONFIG_HOME/koron-aa/boards.
QString BoardFolder();

// The board the text is meant for: the one chosen in the boxes' menus, kept in the settings; the
// built-in 5ch when none was chosen or the chosen one can no longer be read.
const BoardProfile& ChosenBoard();
void ChooseBoard(const QString& name);

// The built-in profiles, then the kept ones.
std::vector<BoardProfile> AvailableBoards();

// The submenu "掲示板": each profile to choose, the chosen one checked, then
// "SETTING.TXT を読み込む…", which makes a profile of a board's settings, keeps it and chooses it.
// Problems are said in a balloon at `anchor`.
QMenu* CreateBoardMenu(QWidget* anchor, QMenu* parent);

// Makes a profile of the SETTING.TXT at `path`, keeps it and chooses it; the reason when it
// cannot, in the window's language (empty on success).
QString AdoptBoardSettings(const QString& path);

}  // namespace koron
