#include "cli/options.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <algorithm>
#include <cstddef>
#include <iterator>

#include "composer/face_items.h"

namespace koron {
namespace {

// Options that Qt's application objects take out of argv themselves (QCoreApplication,
// QGuiApplication, QApplication and the xcb platform, Qt 6). They are declared so that they
// parse, and hidden, since they are Qt's and not the tool's.
constexpr const char* kQtValueOptions[] = {
    "platform", "platformpluginpath", "platformtheme", "plugin",      "qwindowgeometry",
    "geometry", "qwindowtitle",       "title",         "qwindowicon", "icon",
    "style",    "stylesheet",         "session",       "display",     "name",
    "visual",   "qmljsdebugger"};
constexpr const char* kQtFlagOptions[] = {"reverse", "testability", "widgetcount", "nograb",
                                          "dograb",  "qdevel",      "qdebug"};

// The tool's options that take a value, as SetUpParser declares them.
constexpr const char* kToolValueOptions[] = {
    "dir",  "marchers", "face", "cheer", "signs",          "template", "show",
    "list", "encoding", "png",  "board", "board-settings", "split"};

// The options that make no window, and those that only shape the text of one of them.
// Each makes the run do one thing; --open-library is the window's, with the library window open.
constexpr const char* kActionOptions[] = {"print",          "show",         "list",
                                          "library",        "search",       "entry",
                                          "library-errors", "open-library", "board-settings"};
constexpr const char* kPictureOptions[] = {"marchers", "face",     "ears",         "cheer",
                                           "signs",    "template", "template-only"};
constexpr const char* kTextOptions[] = {"encoding", "widths", "png",
                                        "check",    "split",  "fix-spacing"};
// What a text is written as, one at a time.
constexpr const char* kTextForms[] = {"widths", "png", "check", "split", "fix-spacing"};

void AddOption(QCommandLineParser& parser, const QStringList& names, const char* description,
               const char* valueName = nullptr) {
  QCommandLineOption option(names, QString::fromUtf8(description));
  if (valueName != nullptr) option.setValueName(QString::fromLatin1(valueName));
  parser.addOption(option);
}

// One parser for both reading and the help text, so that the two cannot drift apart.
void SetUpParser(QCommandLineParser& parser) {
  parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
  parser.setApplicationDescription(QStringLiteral(
      "KORON AA: composes a procession picture in text art and shows text templates.\n"
      "Without --print, --show or --list it opens the window."));

  AddOption(parser, {QStringLiteral("h"), QStringLiteral("help")}, "Show this help and exit.");
  AddOption(parser, {QStringLiteral("v"), QStringLiteral("version")}, "Show the version and exit.");
  AddOption(parser, {QStringLiteral("dir")},
            "Use DIR as the working folder instead of the current directory.", "DIR");
  AddOption(parser, {QStringLiteral("user-dir")},
            "Use $XDG_DATA_HOME/koron-aa (~/.local/share/koron-aa) as the working folder; "
            "the example lists, and the example collections into its AA/, are copied into it when "
            "missing.");
  AddOption(parser, {QStringLiteral("print")},
            "Write the picture that the left AA\u4F5C\u6210 button makes to standard output.");
  AddOption(parser, {QStringLiteral("marchers")},
            "Number of arrested marchers, read as the count box reads it (default 0).", "TEXT");
  AddOption(parser, {QStringLiteral("face")},
            "Face of the marchers, 0 to 5 as listed below (default 0).", "N");
  AddOption(parser, {QStringLiteral("ears")}, "Give the marchers ears.");
  AddOption(parser, {QStringLiteral("cheer")}, "Number of cheering figures (default 0).", "TEXT");
  AddOption(parser, {QStringLiteral("signs")}, "Number of sign bearers (default 0).", "TEXT");
  AddOption(parser, {QStringLiteral("template")},
            "Add template NAME from AAList_01.txt below the picture.", "NAME");
  AddOption(parser, {QStringLiteral("template-only")},
            "Write the template alone, without the picture.");
  AddOption(parser, {QStringLiteral("show")},
            "Write the body of template NAME from AAList_02.txt to standard output.", "NAME");
  AddOption(parser, {QStringLiteral("list")},
            "Write the names in AAList_01.txt (N=1) or AAList_02.txt (N=2), one per line.", "N");
  AddOption(parser, {QStringLiteral("library")},
            "Write every entry of the library (AA/ and the two lists): FILE#N, section and name, "
            "separated by tabs, one per line.");
  AddOption(parser, {QStringLiteral("search")},
            "Write the library's entries that hold every blank-separated term of QUERY (in the "
            "text, name, section or path; case and width do not matter), as --library does.",
            "QUERY");
  AddOption(parser, {QStringLiteral("entry")},
            "Write the text of the library's entry FILE#N to standard output.", "FILE#N");
  AddOption(parser, {QStringLiteral("library-errors")},
            "Write each file of the library that is left out, with the reason.");
  AddOption(parser, {QStringLiteral("open-library")},
            "Open the window with the library window \uFF21\uFF21\u5EAB over it.");
  AddOption(parser, {QStringLiteral("encoding")},
            "Encoding of --print and --show: utf-8 (default), cp932, or sjis-ncr (cp932 with "
            "&#N; for the characters it lacks).",
            "ENC");
  AddOption(parser, {QStringLiteral("widths")},
            "With --print or --show: write the width of each line in dots (16 px text-art "
            "font), then the Shift_JIS byte count, instead of the text.");
  AddOption(parser, {QStringLiteral("png")},
            "With --print or --show: save the text as a PNG picture in FILE (- for standard "
            "output) instead.",
            "FILE");
  AddOption(parser, {QStringLiteral("check")},
            "With --print, --show or --entry: write each place the board would show otherwise "
            "(LINE:COLUMN, a tab, the problem; 0:0 for the whole post) instead of the text.");
  AddOption(parser, {QStringLiteral("split")},
            "With --print, --show or --entry: write part N of the text cut into posts that fit "
            "the board (0: how many parts there are).",
            "N");
  AddOption(parser, {QStringLiteral("fix-spacing")},
            "With --print, --show or --entry: write the text with its blanks rewritten so that "
            "the board draws each line at the same width; each place it cannot keep exact goes "
            "to standard error, as --check writes it, with the dots it is off.");
  AddOption(parser, {QStringLiteral("board")},
            "Check, split and mend spacing for board profile NAME: a kept one or the built-in 5ch "
            "(default).",
            "NAME");
  AddOption(parser, {QStringLiteral("board-settings")},
            "Make a board profile from the board's SETTING.TXT, keep it in "
            "$XDG_CONFIG_HOME/koron-aa/boards and write its name.",
            "FILE");

  for (const char* name : kQtValueOptions) {
    QCommandLineOption option(QString::fromLatin1(name), QString(), QStringLiteral("value"));
    option.setFlags(QCommandLineOption::HiddenFromHelp);
    parser.addOption(option);
  }
  for (const char* name : kQtFlagOptions) {
    QCommandLineOption option(QString::fromLatin1(name));
    option.setFlags(QCommandLineOption::HiddenFromHelp);
    parser.addOption(option);
  }
}

ParsedCommandLine Fail(const QString& error) {
  ParsedCommandLine result;
  result.error = error;
  return result;
}

// The first option of `names` that was given, or empty.
template <std::size_t N>
QString FirstGiven(const QCommandLineParser& parser, const char* const (&names)[N]) {
  for (const char* name : names) {
    if (parser.isSet(QLatin1String(name))) return QLatin1String(name);
  }
  return {};
}

bool ReadFace(const QString& text, int* face) {
  // One digit, as the face list has six items; "1.5" or "+1" name no item.
  if (text.size() != 1 || text[0] < u'0' || text[0] >= QChar(u'0' + kFaceCount)) return false;
  *face = text[0].unicode() - u'0';
  return true;
}

bool ReadEncoding(const QString& text, CliEncoding* encoding) {
  const QString name = text.toLower();
  if (name == u"utf-8" || name == u"utf8") {
    *encoding = CliEncoding::Utf8;
  } else if (name == u"cp932") {
    *encoding = CliEncoding::Cp932;
  } else if (name == u"sjis-ncr") {
    *encoding = CliEncoding::ShiftJisSafe;
  } else {
    return false;
  }
  return true;
}

}  // namespace

QString Quoted(const QString& text) { return QLatin1Char('\'') + text + QLatin1Char('\''); }

bool TakesValue(const QString& name) {
  const auto named = [&name](const char* option) { return name == QLatin1String(option); };
  return std::any_of(std::begin(kToolValueOptions), std::end(kToolValueOptions), named) ||
         std::any_of(std::begin(kQtValueOptions), std::end(kQtValueOptions), named);
}

ParsedCommandLine ParseCommandLine(const QStringList& arguments) {
  QCommandLineParser parser;
  SetUpParser(parser);
  if (!parser.parse(arguments)) {
    // Qt's sentence, begun in lower case like the tool's own after "koron-aa: ".
    QString error = parser.errorText();
    if (!error.isEmpty()) error[0] = error[0].toLower();
    return Fail(error);
  }
  const auto isSet = [&parser](const char* name) { return parser.isSet(QLatin1String(name)); };
  const auto value = [&parser](const char* name) { return parser.value(QLatin1String(name)); };

  ParsedCommandLine result;
  CliOptions& options = result.options;
  options.help = isSet("help");
  options.version = isSet("version");
  // Help and version are answered whatever else the line holds.
  if (options.help || options.version) {
    result.ok = true;
    return result;
  }

  const QStringList positional = parser.positionalArguments();
  if (!positional.isEmpty()) {
    return Fail(QStringLiteral("unexpected argument %1.").arg(Quoted(positional.first())));
  }

  QStringList actions;
  for (const char* name : kActionOptions) {
    if (isSet(name)) actions << QStringLiteral("--") + QLatin1String(name);
  }
  if (actions.size() > 1) {
    return Fail(
        QStringLiteral("%1 cannot be used together.").arg(actions.join(QStringLiteral(" and "))));
  }
  const bool print = isSet("print");
  const bool show = isSet("show");
  if (print) options.action = CliAction::Print;
  if (show) options.action = CliAction::Show;
  if (isSet("list")) {
    const QString number = value("list");
    const auto named = std::find_if(
        std::begin(kTemplateLists), std::end(kTemplateLists),
        [&](const TemplateListInfo& list) { return number == QString::number(list.number); });
    if (named == std::end(kTemplateLists)) {
      return Fail(QStringLiteral("--list takes 1 or 2, not %1.").arg(Quoted(number)));
    }
    options.action = CliAction::List;
    options.list = named->list;
  }

  options.openLibrary = isSet("open-library");
  if (isSet("library")) options.action = CliAction::Library;
  if (isSet("library-errors")) options.action = CliAction::LibraryErrors;
  if (isSet("search")) {
    options.action = CliAction::Search;
    options.query = value("search");
  }
  const bool entry = isSet("entry");
  if (entry) {
    const QString given = value("entry");
    const qsizetype hash = given.lastIndexOf(u'#');
    bool number = false;
    const QString digits = hash < 0 ? QString() : given.mid(hash + 1);
    const uint n = digits.toUInt(&number);
    if (hash <= 0 || !number || n == 0 || !digits.front().isDigit()) {
      return Fail(QStringLiteral("--entry takes FILE#N, such as AA/faces.mlt#3, not %1.")
                      .arg(Quoted(given)));
    }
    options.action = CliAction::Entry;
    options.entryFile = given.left(hash);
    options.entryNumber = n;
  }

  if (const QString name = FirstGiven(parser, kTextOptions);
      !name.isEmpty() && !print && !show && !entry) {
    return Fail(QStringLiteral("--%1 needs --print, --show or --entry.").arg(name));
  }
  QStringList forms;
  for (const char* name : kTextForms) {
    if (isSet(name)) forms << QStringLiteral("--") + QLatin1String(name);
  }
  if (forms.size() > 1) {
    return Fail(
        QStringLiteral("%1 cannot be used together.").arg(forms.join(QStringLiteral(" and "))));
  }
  options.check = isSet("check");
  options.fixSpacing = isSet("fix-spacing");
  if (isSet("split")) {
    bool number = false;
    const QString given = value("split");
    options.split = given.toInt(&number);
    if (!number || options.split < 0 || !given.front().isDigit()) {
      return Fail(QStringLiteral("--split takes a part number (0 for the count), not %1.")
                      .arg(Quoted(given)));
    }
  }
  if (isSet("board")) {
    if (!options.check && options.split < 0 && !options.fixSpacing) {
      return Fail(QStringLiteral("--board needs --check, --split or --fix-spacing."));
    }
    options.board = value("board");
  }
  if (isSet("board-settings")) {
    options.action = CliAction::BoardSettings;
    options.boardSettingsFile = value("board-settings");
    if (options.boardSettingsFile.isEmpty()) {
      return Fail(QStringLiteral("--board-settings needs a file name."));
    }
  }
  if (isSet("encoding") && !ReadEncoding(value("encoding"), &options.encoding)) {
    return Fail(QStringLiteral("unknown encoding %1 (utf-8, cp932 or sjis-ncr).")
                    .arg(Quoted(value("encoding"))));
  }
  options.widths = isSet("widths");
  options.pngFile = value("png");
  if (isSet("png") && options.pngFile.isEmpty()) {
    return Fail(QStringLiteral("--png needs a file name."));
  }

  if (const QString name = FirstGiven(parser, kPictureOptions); !name.isEmpty() && !print) {
    return Fail(QStringLiteral("--%1 needs --print.").arg(name));
  }
  if (isSet("face") && !ReadFace(value("face"), &options.face)) {
    return Fail(QStringLiteral("--face takes a number from 0 to %1, not %2.")
                    .arg(kFaceCount - 1)
                    .arg(Quoted(value("face"))));
  }
  if (isSet("marchers")) options.marchers = value("marchers");
  if (isSet("cheer")) options.cheer = value("cheer");
  if (isSet("signs")) options.signs = value("signs");
  options.ears = isSet("ears");
  options.templateName = value("template");
  options.templateOnly = isSet("template-only");
  options.showName = value("show");

  options.userDir = isSet("user-dir");
  if (isSet("dir")) {
    if (options.userDir) {
      return Fail(QStringLiteral("--dir and --user-dir cannot be used together."));
    }
    options.dir = value("dir");
    if (options.dir.isEmpty()) return Fail(QStringLiteral("--dir needs a folder name."));
  }

  // Read as Qt reads them, which takes neither "-platform=NAME" nor a missing value.
  for (qsizetype i = 1; i + 1 < arguments.size(); ++i) {
    const QString& arg = arguments[i];
    if (arg == u"-platform" || arg == u"--platform") options.platform = arguments[i + 1];
    if (arg == u"-display" || arg == u"--display") {
      options.displayGiven = true;
      options.display = arguments[i + 1];
    }
  }

  result.ok = true;
  return result;
}

QString CliHelpText() {
  QCommandLineParser parser;
  SetUpParser(parser);
  QString text = parser.helpText();
  // Qt names the program after a running application object, which help does not need.
  const qsizetype firstLineEnd = text.indexOf(QLatin1Char('\n'));
  text.replace(0, firstLineEnd, QStringLiteral("Usage: koron-aa [options]"));

  QString faces;
  for (int i = 0; i < kFaceCount; ++i) {
    faces += QStringLiteral("\n  %1  %2").arg(i).arg(QString::fromUtf16(kFaceItems[i]));
  }
  text += QStringLiteral(
              "\nFaces (--face):%1\n\n"
              "The working folder holds AAList_01.txt and AAList_02.txt (code page 932 or UTF-8,\n"
              "CR LF or LF line ends) and MARU.ini. Output is UTF-8 unless\n"
              "--encoding says otherwise; texts keep their CR LF line ends. Qt's own options,\n"
              "such as -platform NAME or -style NAME, are passed on to the window.\n\n"
              "Board profiles made by --board-settings are kept in\n"
              "$XDG_CONFIG_HOME/koron-aa/boards (~/.config/koron-aa/boards).\n\n"
              "Exit status: 0 done; 1 no display, text over the length limit, no such\n"
              "template (for --show, also one without a body), a list file that cannot be\n"
              "read, output failed, a problem found by --check, a part over the board's\n"
              "limits or no such part for --split, a width --fix-spacing could not keep,\n"
              "or a SETTING.TXT that makes no profile;\n"
              "2 usage error (also an unknown --board).\n")
              .arg(faces);
  return text;
}

QString CliVersionText() { return QStringLiteral("koron-aa " KORON_CLI_VERSION "\n"); }

}  // namespace koron
