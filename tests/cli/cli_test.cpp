// The built program run as a user runs it, without a display: exact output bytes and statuses.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <QString>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "composer/composer.h"
#include "composer/face_items.h"
#include "tests/cli/run_program.h"
#include "tests/text/scratch_dir.h"

extern char** environ;

namespace koron {
namespace {

using testing::RunProgram;
using testing::RunResult;
using testing::ScratchDir;
using testing::Stdout;

std::string program;  // the built koron-aa, from the command line

std::string Utf8(std::u16string_view text) {
  return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()))
      .toUtf8()
      .toStdString();
}

std::string Picture(int marchers, int face, bool ears, int cheers, int signs) {
  ProcessionChoices choices;
  choices.MarcherCount = marchers;
  choices.FaceIndex = static_cast<std::int16_t>(face);
  choices.FaceText = kFaceItems[face];
  choices.Ears = ears;
  choices.CheerCount = cheers;
  choices.SignCount = signs;
  return Utf8(ComposePicture(choices));
}

// Names and texts in UTF-8, as the command line takes and writes them.
const std::string kNeko = "\u306D\u3053";
const std::string kInu = "\u72AC";
const std::string kOmega = "\uFF08\u00B4\u30FB\u03C9\u30FB\uFF40\uFF09";
const std::string kKana = "\u3042\u3044\u3046\u3048\u304A\r\n\uFF71\uFF72\uFF73\r\n";
const std::string kPoliceman =
    Utf8(u"__[\u8B66]\r\n\u3000(\u3000 )\r\n\u3000(\u3000 )\r\n\u3000 | |\u3000");

// The lists, as a user keeps them: the first in code page 932, the second in UTF-8 with a
// byte-order mark, since code page 932 has no heart.
const std::string kPictureList =
    "made for the tests\r\n"
    "[\x82\xcb\x82\xb1]\r\n"                                        // ねこ
    "\x81\x69\x81\x4c\x81\x45\x83\xd6\x81\x45\x81\x4d\x81\x6a\r\n"  // （´・ω・｀）
    "[empty]\r\n"
    "[\x8c\xa2]\r\n"  // 犬
    "U-o-U\r\n"
    "[line\nfeed]\r\n";  // a line feed inside a line is part of it
const std::string kPanelList = "\xEF\xBB\xBF[kana]\r\n" + kKana +
                               "[heart]\r\nAA\r\nI \u2665 AA\r\n"
                               "[nobody]\r\n"
                               "[twice]\r\n[twice]\r\ntw\r\n";

// The test's own environment without a display, a platform, or the user's folders.
std::vector<std::string> Environment(const std::string& home, std::vector<std::string> extra) {
  const std::vector<std::string> dropped = {"DISPLAY",        "WAYLAND_DISPLAY", "QT_QPA_PLATFORM",
                                            "XDG_DATA_HOME",  "XDG_DATA_DIRS",   "HOME",
                                            "XDG_CONFIG_HOME"};
  std::vector<std::string> env;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    const std::string text = *entry;
    const std::string name = text.substr(0, text.find('='));
    if (std::find(dropped.begin(), dropped.end(), name) == dropped.end()) env.push_back(text);
  }
  env.push_back("HOME=" + home);
  env.insert(env.end(), extra.begin(), extra.end());
  return env;
}

// What Qt makes of the byte 0xFF in a name: U+FFFD, in UTF-8.
const std::string kReplaced = "a\xef\xbf\xbd.png";

// A template alone just over the length limit, and one just at it.
const std::string kLongList = "[long]\r\n" + std::string(kMaxPictureLength - 1, 'x') +
                              "\r\n[fits]\r\n" + std::string(kMaxPictureLength - 2, 'x') + "\r\n";

// A folder holding both lists and subfolders with lists of their own: "sub" has only list 1,
// "odd" and "locked" have lists that cannot be read, "long" has long templates and a list 2
// without names, "utf16" has lists in UTF-16 of both byte orders. Also a folder named with a byte
// that is not UTF-8, and a file that a name with such a byte must not reach.
class ListFolder {
 public:
  ListFolder() {
    dir_.Write("AAList_01.txt", kPictureList);
    dir_.Write("AAList_02.txt", kPanelList);
    std::filesystem::create_directory(dir_.Path("sub"));
    dir_.Write("sub/AAList_01.txt", "[sub]\r\nx\r\n");
    std::filesystem::create_directory(dir_.Path("d\xff"));
    dir_.Write("d\xff/AAList_01.txt", "[dff]\r\nx\r\n");
    dir_.Write(kReplaced, "precious");
    std::filesystem::create_directories(dir_.Path("odd/AAList_01.txt"));
    // Opens as a regular file, but reading its first bytes fails (address 0 is not mapped).
    std::filesystem::create_symlink("/proc/self/mem", dir_.Path("odd/AAList_02.txt"));
    std::filesystem::create_directory(dir_.Path("locked"));
    ::chmod(dir_.Write("locked/AAList_01.txt", "[x]\r\nx\r\n").c_str(), 0);
    ::mkfifo(dir_.Path("locked/AAList_02.txt").c_str(), 0600);
    std::filesystem::create_directory(dir_.Path("long"));
    dir_.Write("long/AAList_01.txt", kLongList);
    dir_.Write("long/AAList_02.txt", "no names here\r\n");
    std::filesystem::create_directory(dir_.Path("utf16"));
    dir_.Write("utf16/AAList_01.txt", testing::Utf16File(u"[\u306D\u3053]\r\nx\r\n[\u72AC]\r\n"));
    dir_.Write("utf16/AAList_02.txt",
               testing::Utf16File(
                   u"[kana]\r\n\u3042\u3044\u3046\u3048\u304A\r\n\uFF71\uFF72\uFF73\r\n", true));
    ::mkfifo(dir_.Path("lonely").c_str(), 0600);  // a pipe that nobody reads
    std::filesystem::create_directories(dir_.Path("lib/AA/.hidden"));
    dir_.Write("lib/AAList_01.txt", "[t]\r\n1\r\n");
    dir_.Write(
        "lib/AA/a.mlt",
        "\u3010\u7AE0\u3011\n[SPLIT]\n\uFF94\uFF99\uFF75&#12354;\n[SPLIT]\n \n[SPLIT]\nname\n");
    dir_.Write("lib/AA/b.ast", "[AA][\u306D\t\u3053]\n\u306B\u3083\n");
    dir_.Write("lib/AA/bad.txt", std::string_view("x\0y", 3));
    dir_.Write("lib/AA/.hidden/c.txt", "hidden");
    std::filesystem::create_directory_symlink(".", dir_.Path("lib/AA/loop"));
    // Spaces the board drops and a heart for the check; a board's settings; a kept profile.
    std::filesystem::create_directories(dir_.Path("home/.config/koron-aa/boards"));
    std::filesystem::create_directory(dir_.Path("board"));
    dir_.Write("board/AAList_02.txt", "[spaces]\r\n  a  b\r\n\u2665\r\n");
    dir_.Write("board/SETTING.TXT",
               "BBS_TITLE=\x83\x6A\x83\x85\x81\x5B\x91\xAC\r\nBBS_MESSAGE_COUNT=2048\r\n"
               "BBS_LINE_NUMBER=16\r\nBBS_UNICODE=change\r\n");
    dir_.Write("board/BAD.TXT", "BBS_TITLE=t\nBBS_MESSAGE_COUNT=0\n");
    dir_.Write("home/.config/koron-aa/boards/tiny.txt",
               "name=tiny\nbyteLimit=10\nlineLimit=1\nlineBreakBytes=4\nlessThanBytes=4\n"
               "greaterThanBytes=4\nquoteBytes=6\nampersandBytes=1\nreferencesPass=false\n"
               "dropsSpaces=true\n");
  }
  RunResult Run(const std::vector<std::string>& args, std::vector<std::string> env = {},
                Stdout mode = Stdout::Pipe) const {
    return RunProgram(program, args, dir_.path(), Environment(dir_.Path("home"), std::move(env)),
                      mode);
  }
  const ScratchDir& dir() const { return dir_; }

 private:
  ScratchDir dir_;
};

void ExpectErrorLine(const RunResult& run, const char* wanted) {
  if (wanted == nullptr) {
    EXPECT_EQ(run.err, "");
    return;
  }
  // One line for each line wanted.
  const std::string_view lines(wanted);
  EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'),
            std::count(lines.begin(), lines.end(), '\n') + 1)
      << run.err;
  EXPECT_EQ(run.err.back(), '\n');
  EXPECT_NE(run.err.find(wanted), std::string::npos) << run.err;
}

struct Row {
  const char* name;
  std::vector<std::string> args;
  std::string out;
  int status = 0;
  const char* error = nullptr;  // part of the one line on stderr; null when stderr stays empty
  std::vector<std::string> env = {};
  Stdout mode = Stdout::Pipe;
  bool needsNonRoot = false;  // root reads any file
};

Row Usage(const char* name, std::vector<std::string> args) {
  return {name, std::move(args), "", 2, "Try 'koron-aa --help'."};
}

std::vector<Row> Rows() {
  return {
      {"PolicemanAlone", {"--print"}, kPoliceman},
      {"PictureWithTemplate",
       {"--print", "--marchers", "5", "--face", "1", "--ears", "--cheer", "2", "--signs", "1",
        "--template", kNeko},
       Picture(5, 1, true, 2, 1) + "\r\n\r\n" + kOmega + "\r\n"},
      {"CountsReadAsTheBoxesReadThem",
       {"--print", "--marchers", "2.5", "--cheer", "x", "--signs", " 3abc", "--face", "5"},
       Picture(2, 5, false, 0, 3)},
      {"TemplateOnlyEvenPastTheLimit",
       {"--print", "--marchers", "100000", "--template", kNeko, "--template-only"},
       kOmega + "\r\n"},
      {"TemplateOnlyWithoutTemplate", {"--print", "--template-only"}, ""},
      {"RefusedPicture", {"--print", "--marchers", "100000"}, "", 1, "limit of 200000"},
      {"UnknownTemplate",
       {"--print", "--template", "nope"},
       "",
       1,
       "koron-aa: there is no template 'nope' in "},
      {"TemplateFromAFolder",
       {"--dir", "odd", "--print", "--template", "x"},
       "",
       1,
       "/odd/AAList_01.txt: it is a folder."},
      {"PictureWithTemplatePastTheLimit",
       {"--dir", KORON_EXAMPLES_DIR, "--print", "--marchers", "12306", "--template",
        "\u30C6\u30ED\u30C3\u30D7"},
       "",
       1,
       "koron-aa: the picture would be 200063 characters long, over the limit of 200000; nothing "
       "written."},
      {"TemplateAlonePastTheLimit",
       {"--dir", "long", "--print", "--template", "long", "--template-only"},
       "",
       1,
       "koron-aa: the template 'long' is longer than the limit of 200000 characters; nothing "
       "written."},
      {"TemplatePastTheLimitUnderAPicture",
       {"--dir", "long", "--print", "--template", "long"},
       "",
       1,
       "the template 'long' is longer than the limit of 200000 characters"},
      {"TemplateAloneAtTheLimit",
       {"--dir", "long", "--print", "--template", "fits", "--template-only"},
       std::string(kMaxPictureLength - 2, 'x') + "\r\n"},
      {"TemplateWithoutBodyWarns",
       {"--print", "--template", "empty"},
       kPoliceman + "\r\n\r\n",
       0,
       "'empty' has no body"},
      {"Show", {"--show", "kana"}, kKana},
      {"ShowWithoutBody", {"--show", "nobody"}, "", 1, "'nobody' has no body"},
      {"ShowPastAnEmptyEntryOfTheSameName", {"--show", "twice"}, "tw\r\n"},
      {"ShowReadsThePanelList",
       {"--show", kNeko},
       "",
       1,
       "there is no template '\u306D\u3053' in "},
      {"ShowFromAMissingList",
       {"--dir", "sub", "--show", "kana"},
       "",
       1,
       "/sub/AAList_02.txt: no such file."},
      {"ListPictureTemplates", {"--list", "1"}, kNeko + "\nempty\n" + kInu + "\nline\u240Afeed\n"},
      {"ListPanelTemplates", {"--list", "2"}, "kana\nheart\nnobody\ntwice\ntwice\n"},
      {"DirForList", {"--dir", "sub", "--list", "1"}, "sub\n"},
      {"ListUtf16", {"--dir", "utf16", "--list", "1"}, kNeko + "\n" + kInu + "\n"},
      {"ShowUtf16BigEndian", {"--dir", "utf16", "--show", "kana"}, kKana},
      {"ListMissing", {"--dir", "sub", "--list", "2"}, "", 1, "/sub/AAList_02.txt: no such file."},
      {"ListAFolder",
       {"--dir", "odd", "--list", "1"},
       "",
       1,
       "/odd/AAList_01.txt: it is a folder."},
      {"ListReadFails",
       {"--dir", "odd", "--list", "2"},
       "",
       1,
       "/odd/AAList_02.txt: reading it failed."},
      {"ListUnreadable",
       {"--dir", "locked", "--list", "1"},
       "",
       1,
       "/locked/AAList_01.txt: permission denied.",
       {},
       Stdout::Pipe,
       true},
      {"ListAPipe",
       {"--dir", "locked", "--list", "2"},
       "",
       1,
       "/locked/AAList_02.txt: not a regular file."},
      {"ListWithoutNames", {"--dir", "long", "--list", "2"}, ""},
      {"DirForPrint", {"--print", "--dir", "sub", "--template", "sub", "--template-only"}, "x\r\n"},
      {"DirMissing", {"--dir", "nowhere", "--list", "1"}, "", 2, "'nowhere' does not exist"},
      {"DirIsAFile", {"--dir", "AAList_01.txt"}, "", 2, "is not a folder"},
      // Names are used byte for byte or refused; Qt would turn 0xFF into U+FFFD.
      {"DirNotUtf8", {"--dir", "d\xff", "--list", "1"}, "", 2, "--dir: 'd\\xff' is not UTF-8"},
      {"PngNotUtf8", {"--print", "--png", "a\xff.png"}, "", 2, "--png: 'a\\xff.png'"},
      {"PngJoinedNotUtf8", {"--print", "-png=a\xff.png"}, "", 2, "-png: 'a\\xff.png'"},
      {"TemplateInCp932",
       {"--print", "--template", "\x82\xcb\x82\xb1"},
       "",
       2,
       "--template: '\\x82\xcb\x82\\xb1'"},  // what is UTF-8 (U+02C2) is shown as it is
      {"Version", {"--version"}, "koron-aa " KORON_VERSION "\n"},
      {"VersionBeforeAnythingElse",
       {"--list", "1", "--version", "--print"},
       "koron-aa " KORON_VERSION "\n"},
      {"NoDisplay", {}, "", 1, "no display"},
      {"NoDisplayWithDir", {"--dir", "sub"}, "", 1, "no display"},
      {"NoDisplayForTheLibrary", {"--open-library"}, "", 1, "no display"},
      {"LibraryWindowIsNoOutput",
       {"--open-library", "--print"},
       "",
       2,
       "--print and --open-library cannot be used together."},
      {"X11WithoutDisplay", {}, "", 1, "DISPLAY is not set", {"QT_QPA_PLATFORM=xcb"}},
      {"X11ArgumentWithoutDisplay", {"-platform", "xcb"}, "", 1, "DISPLAY is not set"},
      {"PlatformWithEqualsIsNotQts", {"-platform=offscreen"}, "", 1, "no display"},
      {"NoXServer", {}, "", 1, "cannot connect to ':9999'", {"DISPLAY=:9999"}},
      {"NoXServerForArgument",
       {"-platform", "xcb", "-display", ":9999"},
       "",
       1,
       "cannot connect to ':9999' (-display)"},
      {"QtOptionsParse",
       {"--print", "-platform", "xcb", "-style", "Fusion", "-reverse", "--qwindowtitle", "t",
        "-stylesheet=a.qss"},
       kPoliceman},
      {"PrintInCp932",
       {"--print", "--encoding", "cp932"},
       "__[\x8c\x78]\r\n\x81\x40(\x81\x40 )\r\n\x81\x40(\x81\x40 )\r\n\x81\x40 | |\x81\x40"},
      {"ShowInCp932",
       {"--show", "kana", "--encoding", "cp932"},
       "\x82\xa0\x82\xa2\x82\xa4\x82\xa6\x82\xa8\r\n\xb1\xb2\xb3\r\n"},
      {"Cp932LacksTheHeart",
       {"--show", "heart", "--encoding", "cp932"},
       "",
       1,
       "line 2: U+2665 (\u2665)"},
      {"ShiftJisSafeReferences",
       {"--show", "heart", "--encoding", "sjis-ncr"},
       "AA\r\nI &#9829; AA\r\n"},
      {"StdoutFull", {"--print"}, "", 1, "standard output", {}, Stdout::DevFull},
      {"PngIntoDevNull", {"--print", "--png", "/dev/null"}, ""},
      {"PngIntoFullDevice", {"--print", "--png", "/dev/full"}, "", 1, "No space left on device"},
      {"PngIntoPipeWithoutReader", {"--print", "--png", "lonely"}, "", 1, "nothing reads"},
      {"PngIntoClosedDescriptor", {"--print", "--png", "/dev/fd/99"}, "", 1, "Bad file descriptor"},
      {"StdoutClosed", {"--list", "1"}, "", 1, "standard output", {}, Stdout::Closed},
      {"ReaderGone", {"--show", "kana"}, "", 1, "standard output", {}, Stdout::BrokenPipe},
      {"LibraryEveryEntry",
       {"--dir", "lib", "--library"},
       "AAList_01.txt#1\t\tt\nAA/a.mlt#2\t\u3010\u7AE0\u3011\t\nAA/a.mlt#4\t\u3010\u7AE0\u3011\t\n"
       "AA/b.ast#1\t\t\u306D\u2409\u3053\n"},
      {"SearchFoldsWidthAndCase",
       {"--dir", "lib", "--search", "\u30E4\u30EB\u30AA \u3042"},
       "AA/a.mlt#2\t\u3010\u7AE0\u3011\t\n"},
      {"SearchTermsInDifferentFields",
       {"--dir", "lib", "--search", "\u7AE0\u3000NAME"},
       "AA/a.mlt#4\t\u3010\u7AE0\u3011\t\n"},
      {"SearchFindsNothing", {"--dir", "lib", "--search", "zzz"}, "", 1},
      {"EntryText", {"--dir", "lib", "--entry", "AA/a.mlt#2"}, "\uFF94\uFF99\uFF75\u3042\r\n"},
      {"EntryInCp932",
       {"--dir", "lib", "--entry", "AA/b.ast#1", "--encoding", "cp932"},
       "\x82\xC9\x82\xE1\r\n"},
      {"EntryNotListed",
       {"--dir", "lib", "--entry", "AA/a.mlt#3"},
       "",
       1,
       "koron-aa: the library has no entry 'AA/a.mlt#3'."},
      {"LibraryErrors",
       {"--dir", "lib", "--library-errors"},
       "AA/bad.txt\tnot text (holds NUL bytes)\n"},
      {"CheckFindsNothing", {"--print", "--check"}, ""},
      {"CheckWritesEachProblem",
       {"--dir", "board", "--show", "spaces", "--check"},
       "1:1\t2 half-width spaces start the line; the board drops them\n"
       "1:4\t2 half-width spaces in a row; the board keeps one\n",
       1},
      {"CheckForAKeptBoard",
       {"--dir", "board", "--show", "spaces", "--check", "--board", "tiny"},
       "0:0\t17 bytes, over the board's limit of 10\n0:0\t2 lines, over the board's limit of 1\n"
       "1:1\t2 half-width spaces start the line; the board drops them\n"
       "1:4\t2 half-width spaces in a row; the board keeps one\n"
       "2:1\tU+2665 (\u2665) is not in Shift_JIS; the board loses it\n",
       1},
      {"SplitCount",
       {"--dir", "board", "--show", "spaces", "--split", "0", "--board", "tiny"},
       "2\n"},
      {"SplitPart",
       {"--dir", "board", "--show", "spaces", "--split", "2", "--board", "tiny", "--encoding",
        "sjis-ncr"},
       "&#9829;\r\n"},
      {"FixSpacing",
       {"--dir", "board", "--show", "spaces", "--fix-spacing", "--encoding", "sjis-ncr"},
       "&#8199;a&#8199;b\r\n&#9829;\r\n"},
      {"FixSpacingWithoutReferences",
       {"--dir", "board", "--show", "spaces", "--fix-spacing", "--board", "tiny"},
       "\u3000a\u3000b\r\n\u2665\r\n",
       1,
       "1:1\tthe blanks are 1 dot wider than before\n1:4\tthe blanks are 1 dot wider than before"},
      {"SplitOutOfRange", {"--print", "--split", "2"}, "", 1, "--split 2: there is only 1 part."},
      {"UnknownBoard",
       {"--print", "--check", "--board", "nope"},
       "",
       2,
       "there is no board profile 'nope'. Try 'koron-aa --help'."},
      {"BoardSettingsKept",
       {"--board-settings", "board/SETTING.TXT"},
       "\u30CB\u30E5\u30FC\u901F\n"},
      {"BoardSettingsRefused",
       {"--board-settings", "board/BAD.TXT"},
       "",
       1,
       "board/BAD.TXT: BBS_MESSAGE_COUNT: '0' is out of range"},
      {"BoardSettingsMissing",
       {"--board-settings", "nowhere.txt"},
       "",
       1,
       "cannot read 'nowhere.txt': No such file"},
      Usage("BoardWithoutCheck", {"--print", "--board", "5ch"}),
      Usage("CheckAndSplit", {"--print", "--check", "--split", "1"}),
      Usage("FixSpacingAndCheck", {"--print", "--check", "--fix-spacing"}),
      Usage("SplitNotANumber", {"--print", "--split", "-1"}),
      Usage("CheckAlone", {"--check"}),
      Usage("EntryWithoutNumber", {"--entry", "AA/a.mlt"}),
      Usage("LibraryAndSearch", {"--library", "--search", "x"}),
      Usage("UnknownOption", {"--bogus"}),
      Usage("Positional", {"--print", "extra"}),
      Usage("FaceTooHigh", {"--print", "--face", "6"}),
      Usage("FaceFraction", {"--print", "--face", "1.5"}),
      Usage("FaceNotANumber", {"--print", "--face", "x"}),
      Usage("FaceNegative", {"--print", "--face", "-1"}),
      Usage("PrintAndList", {"--print", "--list", "1"}),
      Usage("ShowAndPrint", {"--show", "kana", "--print"}),
      Usage("ListThree", {"--list", "3"}),
      Usage("ListWithoutNumber", {"--list"}),
      Usage("UnknownEncoding", {"--print", "--encoding", "latin1"}),
      Usage("WidthsAlone", {"--widths"}),
      Usage("PngWithList", {"--list", "1", "--png", "a.png"}),
      Usage("EncodingAlone", {"--encoding", "cp932"}),
      Usage("WidthsAndPng", {"--print", "--widths", "--png", "a.png"}),
      Usage("PictureOptionAlone", {"--marchers", "3"}),
      Usage("PictureOptionWithShow", {"--show", "kana", "--ears"}),
      Usage("DirAndUserDir", {"--dir", "sub", "--user-dir"}),
  };
}

class CommandLine : public ::testing::TestWithParam<Row> {};

TEST_P(CommandLine, WritesExactly) {
  const Row& row = GetParam();
  if (row.needsNonRoot && ::geteuid() == 0) GTEST_SKIP() << "root reads any file";
  const ListFolder folder;
  const RunResult run = folder.Run(row.args, row.env, row.mode);
  EXPECT_EQ(run.status, row.status);
  EXPECT_EQ(run.out, row.out);
  ExpectErrorLine(run, row.error);
  EXPECT_TRUE(ScratchDir::Read(folder.dir().Path(kReplaced)) == "precious") << "overwritten";
}

INSTANTIATE_TEST_SUITE_P(Invocations, CommandLine, ::testing::ValuesIn(Rows()),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(CommandLineHelp, ListsTheOptionsWithoutADisplay) {
  const RunResult run = ListFolder().Run({"--help"});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.out.rfind("Usage: koron-aa [options]\n", 0), 0u) << run.out;
  for (const char* option :
       {"--dir <DIR>", "--user-dir", "--print", "--marchers <TEXT>", "--face <N>", "--ears",
        "--cheer <TEXT>", "--signs <TEXT>", "--template <NAME>", "--template-only", "--show <NAME>",
        "--list <N>", "--encoding <ENC>", "--widths", "--png <FILE>", "--open-library"}) {
    EXPECT_NE(run.out.find(option), std::string::npos) << option;
  }
  // Qt's options parse but are Qt's to explain.
  EXPECT_EQ(run.out.find("-platform <"), std::string::npos);
}

TEST(CommandLineFolder, CurrentFolderNotUtf8IsRefused) {
  const ScratchDir dir;
  std::filesystem::create_directory(dir.Path("c\xff"));
  dir.Write("c\xff/AAList_01.txt", kPictureList);
  const RunResult run =
      RunProgram(program, {"--list", "1"}, dir.Path("c\xff"), Environment(dir.Path("home"), {}));
  EXPECT_EQ(run.status, 2);
  ExpectErrorLine(run, "the current folder");
}

// However long a line, listing names and writing a body cost no memory in its length: the body
// is written as it is read. Past the first 16 MiB, which are held back, a character code page 932
// lacks ends the output where it stands.
TEST(CommandLineMemory, LongLinesAreNeverHeldWhole) {
  const ScratchDir dir;
  constexpr std::uintmax_t kLong = std::uintmax_t{256} << 20;
  const std::string list = "\xEF\xBB\xBF[a]\r\nx\r\n";
  std::filesystem::create_directory(dir.Path("short"));
  dir.Write("short/AAList_02.txt", list);
  std::filesystem::create_directory(dir.Path("long"));
  const std::string path = dir.Write("long/AAList_02.txt", list);
  std::filesystem::resize_file(path, kLong);  // one line of zero bytes, quick to write
  std::ofstream(path, std::ios::app) << "\r\n\u2665\r\n";
  struct Case {
    std::vector<std::string> args;
    int status;
    std::uintmax_t written;
    const char* error;
  };
  // AddressSanitizer keeps freed blocks in quarantine (256 MB of them by default), which would
  // count as held; without it the sanitizer build measures what the program keeps, too.
  std::vector<std::string> env = Environment(dir.Path("home"), {});
  env.erase(std::remove_if(env.begin(), env.end(),
                           [](const std::string& e) { return e.rfind("ASAN_OPTIONS=", 0) == 0; }),
            env.end());
  const char* asanOptions = std::getenv("ASAN_OPTIONS");
  env.push_back("ASAN_OPTIONS=" + std::string(asanOptions != nullptr ? asanOptions : "") +
                ":quarantine_size_mb=0");
  for (const Case& c :
       {Case{{"--list", "2"}, 0, 2, nullptr}, Case{{"--show", "a"}, 0, kLong - 1, nullptr},
        Case{{"--show", "a", "--encoding", "cp932"}, 1, kLong - 6, "line 3: U+2665"}}) {
    SCOPED_TRACE(c.args[0]);
    long peak[2];
    for (const char* folder : {"short", "long"}) {
      std::filesystem::remove(dir.Path("log"));
      std::vector<std::string> args = {"--dir", folder};
      args.insert(args.end(), c.args.begin(), c.args.end());
      const RunResult run = RunProgram(program, args, dir.path(), env, Stdout::Log);
      peak[folder[0] == 'l'] = run.peakKiB;
      if (folder[0] == 's') continue;
      EXPECT_EQ(run.status, c.status);
      ExpectErrorLine(run, c.error);
      EXPECT_EQ(std::filesystem::file_size(dir.Path("log")), c.written);
      std::ifstream log(dir.Path("log"), std::ios::binary);
      char start[2] = {};
      log.read(start, 2);
      EXPECT_EQ(std::string(start, 2), c.args[0] == "--list" ? "a\n" : "x\r");
    }
    EXPECT_GT(peak[0], 0);
    EXPECT_LT(peak[1] - peak[0], 64 * 1024);
  }
}

// Widths are exact only in a font drawn to the board's widths; the byte count never depends on
// the font.
bool HasTextArtFont() {
  return std::system("fc-list -q Monapo >/dev/null 2>&1") == 0 ||
         std::system("fc-list -q Mona >/dev/null 2>&1") == 0;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
    lines.push_back(text.substr(start, end - start));
  }
  return lines;
}

TEST(CommandLineWidths, DotsAndBytesOnTheOffscreenPlatform) {
  // Whatever platform the user names, measuring runs offscreen and needs no display.
  const ListFolder folder;
  const RunResult police =
      folder.Run({"--print", "--widths", "-platform", "xcb"}, {"QT_QPA_PLATFORM=xcb"});
  EXPECT_EQ(police.status, 0);
  EXPECT_EQ(police.err, "");
  if (HasTextArtFont()) {
    EXPECT_EQ(police.out, "36\n37\n37\n40\nbytes 34\n");
  } else {
    std::printf("note: neither Monapo nor Mona is installed; widths checked for their form only\n");
    EXPECT_EQ(Lines(police.out).size(), 5u);
    EXPECT_EQ(Lines(police.out).back(), "bytes 34");
  }
  // A reference counts its ASCII characters; a final line break starts no line.
  const RunResult heart = folder.Run({"--show", "heart", "--widths"});
  EXPECT_EQ(heart.status, 0);
  ASSERT_EQ(Lines(heart.out).size(), 3u) << heart.out;
  EXPECT_EQ(Lines(heart.out)[2], "bytes 18");
}

std::uint32_t BigEndian(const std::string& bytes, std::size_t at) {
  std::uint32_t value = 0;
  for (std::size_t i = at; i < at + 4; ++i)
    value = value << 8 | static_cast<unsigned char>(bytes[i]);
  return value;
}

TEST(CommandLinePng, SavesThePictureWithoutADisplay) {
  const ListFolder folder;
  const RunResult run = folder.Run({"--print", "--png", "police.png"});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err, "");
  const std::string png = ScratchDir::Read(folder.dir().Path("police.png"));
  ASSERT_GE(png.size(), 24u);
  EXPECT_EQ(png.substr(0, 8), "\x89PNG\r\n\x1a\n");
  // Widest line + 16 by lines x 18 + 16, the widths as --widths gives them.
  std::uint32_t widest = 0;
  for (const std::string& line : Lines(folder.Run({"--print", "--widths"}).out)) {
    if (line.rfind("bytes", 0) != 0) widest = std::max<std::uint32_t>(widest, std::stoul(line));
  }
  EXPECT_EQ(BigEndian(png, 16), widest + 16);
  EXPECT_EQ(BigEndian(png, 20), 4u * 18 + 16);

  const RunResult failed = folder.Run({"--show", "kana", "--png", "nowhere/kana.png"});
  EXPECT_EQ(failed.status, 1);
  ExpectErrorLine(failed, "nowhere/kana.png");

  // Into a pipe (as into /dev/stdout or a device) the picture is written, not put in its place.
  const std::string fifo = folder.dir().Path("pipe");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
  ASSERT_GE(reader, 0);
  EXPECT_EQ(folder.Run({"--print", "--png", "pipe"}).status, 0);
  EXPECT_EQ(std::filesystem::status(fifo).type(), std::filesystem::file_type::fifo);
  std::string piped(65536, '\0');
  piped.resize(
      static_cast<std::size_t>(std::max<ssize_t>(0, ::read(reader, piped.data(), piped.size()))));
  EXPECT_EQ(piped, png);
  ::close(reader);

  // Into standard output itself, appended to what it already holds, never put in its place.
  EXPECT_EQ(folder.Run({"--print", "--png", "-"}).out, png);
  for (const char* name : {"/dev/stdout", "/dev/fd/1", "/proc/self/fd/1"}) {
    folder.dir().Write("log", "log 1\nlog 2\n");
    struct stat old {};
    ASSERT_EQ(::stat(folder.dir().Path("log").c_str(), &old), 0);
    const RunResult logged = folder.Run({"--print", "--png", name}, {}, Stdout::Log);
    EXPECT_EQ(logged.status, 0) << name << ": " << logged.err;
    EXPECT_TRUE(ScratchDir::Read(folder.dir().Path("log")) == "log 1\nlog 2\n" + png) << name;
    struct stat now {};
    ASSERT_EQ(::stat(folder.dir().Path("log").c_str(), &now), 0);
    EXPECT_EQ(now.st_ino, old.st_ino) << name;
  }
}

// An example collection's name and bytes: 見本.mlt, in code page 932 with CR LF.
const std::string kMihon = "\u898B\u672C.mlt";
const std::string kMihonBytes =
    "\x81\x79\x82\xa0\x81\x7a\r\n[SPLIT]\r\n(\x81\x45\x83\xd6\x81\x45)\r\n";

// --user-dir with the package's examples in a data folder of its own.
class UserDir : public ::testing::Test {
 protected:
  UserDir() {
    std::filesystem::create_directories(dir_.Path("sys/koron-aa"));
    dir_.Write("sys/koron-aa/AAList_01.txt", "[example1]\r\ne1\r\n");
    dir_.Write("sys/koron-aa/AAList_02.txt", "[example2]\r\ne2\r\n");
    // The example collections, beside a hidden file and a folder that are not copied.
    std::filesystem::create_directories(dir_.Path("sys/koron-aa/AA/sub"));
    dir_.Write("sys/koron-aa/AA/" + kMihon, kMihonBytes);
    dir_.Write("sys/koron-aa/AA/b.ast", "[AA][b]\nb\n");
    dir_.Write("sys/koron-aa/AA/.b.ast.tmp", "half");
    // A relative entry is ignored, however it would resolve.
    std::filesystem::create_directories(dir_.Path("other/koron-aa"));
    dir_.Write("other/koron-aa/AAList_01.txt", "[wrong]\r\nw\r\n");
  }
  RunResult Run(const std::vector<std::string>& args, const std::string& dataHome) const {
    return RunProgram(program, args, dir_.path(),
                      Environment(dir_.Path("home"), {"XDG_DATA_HOME=" + dataHome,
                                                      "XDG_DATA_DIRS=other:" + dir_.Path("none") +
                                                          ":" + dir_.Path("sys")}));
  }
  ScratchDir dir_;
};

TEST_F(UserDir, CreatedAndFilledOnFirstUse) {
  const RunResult run = Run({"--user-dir", "--list", "1"}, dir_.Path("data"));
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, "example1\n");
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(ScratchDir::Read(dir_.Path("data/koron-aa/AAList_02.txt")), "[example2]\r\ne2\r\n");
  // Nothing else (the lists and AA/): no temporary file is left behind.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_.Path("data/koron-aa")),
                          std::filesystem::directory_iterator()),
            3);
  EXPECT_EQ(Run({"--user-dir", "--show", "example2"}, dir_.Path("data")).out, "e2\r\n");
}

TEST_F(UserDir, KeepsTheUsersFile) {
  std::filesystem::create_directories(dir_.Path("data/koron-aa"));
  const std::string mine = "[mine]\r\n\x82\xa0\r\n";
  dir_.Write("data/koron-aa/AAList_01.txt", mine);
  EXPECT_EQ(Run({"--user-dir", "--list", "1"}, dir_.Path("data")).out, "mine\n");
  EXPECT_EQ(ScratchDir::Read(dir_.Path("data/koron-aa/AAList_01.txt")), mine);
  EXPECT_EQ(ScratchDir::Read(dir_.Path("data/koron-aa/AAList_02.txt")), "[example2]\r\ne2\r\n");
}

// The library folder AA/ after a run, from what the user's folder held before it: the examples
// it lacks are copied in, nothing of the user's is replaced, and a file named AA stops nothing.
TEST_F(UserDir, LibraryFolderFilledWithTheExamples) {
  using Files = std::vector<std::pair<std::string, std::string>>;
  const struct {
    const char* name;
    Files before;  // in the user's folder
    Files after;
    const char* listing;  // of AA/, when it is a folder
  } rows[] = {
      {"FirstUse",
       {},
       {{"AA/" + kMihon, kMihonBytes}, {"AA/b.ast", "[AA][b]\nb\n"}},
       "b.ast \u898B\u672C.mlt "},
      {"UsersFileKept",
       {{"AA/" + kMihon, "[SPLIT]\n"}},
       {{"AA/" + kMihon, "[SPLIT]\n"}, {"AA/b.ast", "[AA][b]\nb\n"}},
       "b.ast \u898B\u672C.mlt "},
      {"OthersLeftAlone",
       {{"AA/mine/c.ast", "c"}},
       {{"AA/mine/c.ast", "c"}, {"AA/b.ast", "[AA][b]\nb\n"}},
       "b.ast mine \u898B\u672C.mlt "},
      {"AAIsAFile", {{"AA", "not a folder"}}, {{"AA", "not a folder"}}, nullptr},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    const std::string home = std::string("data-") + row.name;
    for (const auto& [name, bytes] : row.before) {
      std::filesystem::create_directories(
          std::filesystem::path(dir_.Path(home + "/koron-aa/" + name)).parent_path());
      dir_.Write(home + "/koron-aa/" + name, bytes);
    }
    const RunResult run = Run({"--user-dir", "--list", "1"}, dir_.Path(home));
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "example1\n");
    for (const auto& [name, bytes] : row.after) {
      EXPECT_TRUE(ScratchDir::Read(dir_.Path(home + "/koron-aa/" + name)) == bytes) << name;
    }
    if (row.listing != nullptr) {
      EXPECT_EQ(dir_.Listing(home + "/koron-aa/AA"), row.listing);
    }
  }
}

TEST_F(UserDir, RunsWhenTheFolderCannotBeMade) {
  dir_.Write("file", "not a folder");
  const RunResult list = Run({"--user-dir", "--list", "1"}, dir_.Path("file/data"));
  EXPECT_EQ(list.status, 1);
  EXPECT_EQ(list.out, "");
  ExpectErrorLine(list, "/file/data/koron-aa/AAList_01.txt: no such file.");
  EXPECT_EQ(Run({"--user-dir", "--print"}, dir_.Path("file/data")).out, kPoliceman);
}

TEST_F(UserDir, DataHomeNotUtf8IsRefused) {
  const RunResult run = Run({"--user-dir", "--list", "1"}, dir_.Path("x\xff"));
  EXPECT_EQ(run.status, 2);
  ExpectErrorLine(run, "XDG_DATA_HOME");
  EXPECT_FALSE(std::filesystem::exists(dir_.Path("x\xff")));
}

TEST_F(UserDir, SkipsANamedPipeAmongTheExamples) {
  std::filesystem::create_directories(dir_.Path("none/koron-aa"));
  ASSERT_EQ(::mkfifo(dir_.Path("none/koron-aa/AAList_01.txt").c_str(), 0600), 0);
  const RunResult run = Run({"--user-dir", "--list", "1"}, dir_.Path("data"));
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, "example1\n");
}

TEST_F(UserDir, RelativeDataHomeMeansTheHomeDefault) {
  EXPECT_EQ(Run({"--user-dir", "--list", "2"}, "data").out, "example2\n");
  EXPECT_TRUE(std::filesystem::exists(dir_.Path("home/.local/share/koron-aa/AAList_01.txt")));
  EXPECT_FALSE(std::filesystem::exists(dir_.Path("data")));
}

}  // namespace
}  // namespace koron

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s [gtest options] PATH-TO-koron-aa\n", argv[0]);
    return 2;
  }
  koron::program = std::filesystem::absolute(argv[1]).string();
  return RUN_ALL_TESTS();
}
