#pragma once

#include <QString>
#include <QStringList>

#include "templates/named_lists.h"

namespace koron {

// What a run does once the working folder is settled.
enum class CliAction {
  Window,
  Print,
  Show,
  List,
  Library,
  Search,
  Entry,
  LibraryErrors,
  BoardSettings
};

// How --print and --show write their text.
enum class CliEncoding { Utf8, Cp932, ShiftJisSafe };

// The command line, read and checked for consistency; nothing of it has been carried out yet.
struct CliOptions {
  bool help = false;
  bool version = false;
  CliAction action = CliAction::Window;
  bool openLibrary = false;  // the window, with the library window over it

  // --print: the left half's controls, as the window reads them.
  QString marchers = QStringLiteral("0");
  QString cheer = QStringLiteral("0");
  QString signs = QStringLiteral("0");
  int face = 0;
  bool ears = false;
  QString templateName;
  bool templateOnly = false;

  QString showName;                            // --show
  TemplateList list = TemplateList::kPicture;  // --list
  QString query;                               // --search
  QString entryFile;                           // --entry FILE#N
  quint32 entryNumber = 0;

  CliEncoding encoding = CliEncoding::Utf8;
  bool widths = false;
  QString pngFile;  // empty: no picture export
  bool check = false;
  bool fixSpacing = false;
  int split = -1;                         // --split N; -1 when not given
  QString board = QStringLiteral("5ch");  // --board NAME
  QString boardSettingsFile;              // --board-settings FILE

  QString dir;  // --dir, as given
  bool userDir = false;

  // Qt's own choice of platform and display, for telling whether a window can open.
  QString platform;  // -platform NAME; empty when not given
  bool displayGiven = false;
  QString display;  // -display NAME
};

// The outcome of reading the arguments (argv[0] first). On a usage error `error` says what is
// wrong in one sentence and `options` is not to be used.
struct ParsedCommandLine {
  bool ok = false;
  QString error;
  CliOptions options;
};

ParsedCommandLine ParseCommandLine(const QStringList& arguments);

// Whether the option `name` (given without its dashes) takes the next argument as its value.
bool TakesValue(const QString& name);

// A name or value as the messages quote it: 'like this'.
QString Quoted(const QString& text);

// The text of --help and of --version, each ending with a line feed.
QString CliHelpText();
QString CliVersionText();

}  // namespace koron
