#include "cli/output.h"

#include "cli/library_output.h"

#include <fcntl.h>
#include <signal.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QRegularExpression>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <memory>
#include <optional>
#include <vector>

#include "boxes/box_text.h"
#include "cli/png_words.h"
#include "cli/standard_streams.h"
#include "cli/user_folder.h"
#include "composer/composer.h"
#include "composer/face_items.h"
#include "posting/board_profile.h"
#include "posting/post_check.h"
#include "posting/post_split.h"
#include "posting/shift_jis_safe.h"
#include "posting/spacing_fix.h"
#include "render/fonts.h"
#include "render/text_art.h"
#include "templates/list_file.h"
#include "templates/named_lists.h"
#include "templates/template_list.h"
#include "text/line_reader.h"
#include "text/line_writer.h"
#include "text/number_reading.h"

namespace koron {
namespace {

std::u16string ToU16(const QString& text) { return text.toStdU16String(); }

QString ListPath(const QString& folder, const char* file) {
  return folder + QLatin1Char('/') + QLatin1String(file);
}

std::string FilePath(const QString& path) { return QFile::encodeName(path).toStdString(); }

std::string Utf8(std::u16string_view text) {
  return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()))
      .toUtf8()
      .toStdString();
}

QString CodePointName(char32_t c) {
  return QStringLiteral("U+%1").arg(QString::number(c, 16).toUpper().rightJustified(4, u'0'));
}

// Qt's notes on its own start-up (a missing runtime folder and the like) are not the user's
// business here; only its errors are passed on.
QtMessageHandler previousHandler = nullptr;

void QuietMessages(QtMsgType type, const QMessageLogContext& context, const QString& message) {
  if (type != QtCriticalMsg && type != QtFatalMsg) return;
  if (previousHandler != nullptr) {
    previousHandler(type, context, message);
  } else {
    std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
  }
}

// A QGuiApplication for measuring and drawing text, always on the offscreen platform: the
// output must not need a display, nor change with the desktop's theme.
class OffscreenApplication {
 public:
  OffscreenApplication() {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // Otherwise the offscreen platform connects to the X server of DISPLAY, if any, for OpenGL.
    qputenv("QT_QPA_OFFSCREEN_NO_GLX", "1");
    qunsetenv("QT_QPA_PLATFORMTHEME");
    previousHandler = qInstallMessageHandler(QuietMessages);
    app_ = std::make_unique<QGuiApplication>(argc_, argv_);
    SetUpFonts();
  }
  ~OffscreenApplication() {
    app_.reset();
    qInstallMessageHandler(previousHandler);
  }
  OffscreenApplication(const OffscreenApplication&) = delete;
  OffscreenApplication& operator=(const OffscreenApplication&) = delete;

 private:
  // The user's Qt options (-platform, -style, ...) are for the window, not for this.
  char name_[9] = "koron-aa";
  char platformOption_[10] = "-platform";
  char platform_[10] = "offscreen";
  int argc_ = 3;
  char* argv_[4] = {name_, platformOption_, platform_, nullptr};
  std::unique_ptr<QGuiApplication> app_;
};

int Fail(const QString& error) {
  WriteErrorLine(error);
  return 1;
}

int Write(const std::string& bytes) {
  QString error;
  return WriteStandardOutput(bytes, &error) ? 0 : Fail(error);
}

int WriteWidths(const std::u16string& text) {
  OffscreenApplication app;
  std::string lines;
  const std::vector<std::uint32_t> widths = TextArtLineWidths(text);
  const std::vector<bool> approximate = TextArtApproximateLines(text);
  for (std::size_t i = 0; i < widths.size(); ++i) {
    // "~": a character on the line that the text-art faces lack, measured in some other face.
    if (approximate[i]) lines += '~';
    lines += std::to_string(widths[i]) + '\n';
  }
  lines += "bytes " + std::to_string(ShiftJisSafeByteCount(text)) + '\n';
  return Write(lines);
}

// The descriptor that `path` names (standard output for "-", N for /dev/fd/N or
// /proc/self/fd/N, 0 to 2 for /dev/stdin ... /dev/stderr), or -1. The picture goes into that
// descriptor as it stands, so a log appended to with `>>` keeps its lines and its file.
int NamedDescriptor(const QString& path) {
  if (path == QLatin1String("-")) return STDOUT_FILENO;
  static const QRegularExpression name(QStringLiteral(
      "^/(?:dev/(?:(stdin)|(stdout)|(stderr))|(?:dev|proc/self|proc/thread-self)/fd/([0-9]+))$"));
  const QRegularExpressionMatch match =
      name.match(QDir::cleanPath(QFileInfo(path).absoluteFilePath()));
  if (!match.hasMatch()) return -1;
  for (int standard = 0; standard <= 2; ++standard) {
    if (match.hasCaptured(standard + 1)) return standard;
  }
  bool ok = false;
  const int fd = match.captured(4).toInt(&ok);
  return ok ? fd : std::numeric_limits<int>::max();  // beyond any descriptor: EBADF
}

QString SystemWords(int error) { return QString::fromLocal8Bit(::strerror(error)); }

// Where the picture goes when it is not a file to replace: an open descriptor, or a pipe or a
// character device opened without waiting (a pipe nobody reads would hold the program forever).
struct PngStream {
  int fd = -1;         // -1: a file, replaced by SaveTextArtPng
  bool owned = false;  // opened here, closed after the write
  QString error;       // why it cannot be written; nothing is drawn then
};

PngStream OpenPngStream(const QString& path) {
  PngStream stream;
  // Along the chain of links, so that a link to /dev/stdout is standard output too.
  QFileInfo link(path);
  for (int depth = 0; depth < 40 && stream.fd < 0; ++depth) {
    stream.fd = NamedDescriptor(link.filePath());
    if (!link.isSymLink()) break;
    link.setFile(link.symLinkTarget());
  }
  if (stream.fd >= 0) {
    if (::fcntl(stream.fd, F_GETFL) == -1) stream.error = SystemWords(errno);
    return stream;
  }
  const QByteArray name = QFile::encodeName(path);
  struct stat info {};
  if (::stat(name.constData(), &info) != 0 || !(S_ISFIFO(info.st_mode) || S_ISCHR(info.st_mode))) {
    return stream;  // a file (or a disk or a socket, which SaveTextArtPng refuses)
  }
  const int fd = ::open(name.constData(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) {
    stream.error = errno == ENXIO && S_ISFIFO(info.st_mode)
                       ? QStringLiteral("nothing reads the pipe (%1).").arg(SystemWords(errno))
                       : SystemWords(errno);
    return stream;
  }
  struct stat opened {};
  if (::fstat(fd, &opened) != 0 || !(S_ISFIFO(opened.st_mode) || S_ISCHR(opened.st_mode))) {
    ::close(fd);  // replaced by a file meanwhile: saved as a file
    return stream;
  }
  // Opened without waiting; the writes wait for the reader as usual.
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  stream.fd = fd;
  stream.owned = true;
  return stream;
}

// The PNG written into an open descriptor, a pipe or a device. False, with the system's words.
bool WritePngInto(const PngStream& stream, const QByteArray& png, QString* error) {
  const std::string_view bytes(png.constData(), static_cast<std::size_t>(png.size()));
  // A reader that went away gives EPIPE here instead of ending the program silently.
  ::signal(SIGPIPE, SIG_IGN);
  int failure = WriteAll(stream.fd, bytes) ? 0 : errno;
  if (stream.owned && ::close(stream.fd) != 0 && failure == 0) failure = errno;
  if (failure != 0) *error = SystemWords(failure);
  return failure == 0;
}

int WritePng(const std::u16string& text, const QString& path) {
  // Opened before Qt starts, so that /dev/fd/N is the caller's descriptor and never one of Qt's.
  const PngStream stream = OpenPngStream(path);
  if (!stream.error.isEmpty()) {
    return Fail(QStringLiteral("cannot write %1: %2").arg(Quoted(path), stream.error));
  }
  OffscreenApplication app;
  QString error;
  bool saved = false;
  QByteArray png;
  {
    const MutedStandardError muted;
    PngSaveFailure failure;
    saved = stream.fd >= 0 ? EncodeTextArtPng(text, path, &png, &failure)
                           : SaveTextArtPng(text, path, &failure);
    if (!saved) error = DescribeInEnglish(failure);
  }
  if (!saved) {
    if (stream.owned) ::close(stream.fd);
  } else if (stream.fd < 0) {
    return 0;
  } else if (stream.fd == STDOUT_FILENO && !stream.owned) {
    return Write(png.toStdString());  // as the text goes, with its words on failure
  } else if (WritePngInto(stream, png, &error)) {
    return 0;
  }
  return Fail(QStringLiteral("cannot write %1: %2").arg(Quoted(path), error));
}

CliText Refused(const QString& error) {
  CliText result;
  result.ok = false;
  result.error = error;
  return result;
}

QString TooLongError(std::uint64_t length) {
  return QStringLiteral(
             "the picture would be %1 characters long, over the limit of %2; nothing written.")
      .arg(length)
      .arg(kMaxPictureLength);
}

QString ListFileError(ListFileProblem problem, const QString& path) {
  QString why;
  switch (problem) {
    case ListFileProblem::kNone:
      break;
    case ListFileProblem::kMissing:
      why = QStringLiteral("no such file");
      break;
    case ListFileProblem::kFolder:
      why = QStringLiteral("it is a folder");
      break;
    case ListFileProblem::kNotARegularFile:
      why = QStringLiteral("not a regular file");
      break;
    case ListFileProblem::kNoPermission:
      why = QStringLiteral("permission denied");
      break;
    case ListFileProblem::kReadFailed:
      why = QStringLiteral("reading it failed");
      break;
  }
  return QStringLiteral("cannot read %1: %2.").arg(path, why);
}

// Opens the list at `path` and hands its reader to `read`. False, with the reason in `error`,
// when the file cannot be opened or reading it fails.
template <typename Read>
bool ReadList(const QString& path, Read read, QString* error) {
  LineReader reader;
  ListFileProblem problem = OpenListFile(reader, FilePath(path));
  if (problem == ListFileProblem::kNone) {
    read(reader);
    if (reader.failed()) problem = ListFileProblem::kReadFailed;
  }
  if (problem == ListFileProblem::kNone) return true;
  *error = ListFileError(problem, path);
  return false;
}

// Why template `name` of the list at `path` gave no body, in `why`. True when a header names it
// (it has no body lines); false when none does, or the file cannot be read a second time.
bool ExplainNoBody(const QString& name, const QString& path, QString* why) {
  std::vector<std::u16string> names;
  if (!ReadList(
          path, [&](LineReader& reader) { names = ListTemplateNames(reader); }, why)) {
    return false;
  }
  // An empty name is never looked up, though "[]" gives it.
  const std::u16string wanted = ToU16(name);
  if (wanted.empty() || std::find(names.begin(), names.end(), wanted) == names.end()) {
    *why = QStringLiteral("there is no template %1 in %2.").arg(Quoted(name), path);
    return false;
  }
  *why = QStringLiteral("template %1 has no body in %2.").arg(Quoted(name), path);
  return true;
}

}  // namespace

CliText PrintText(const CliOptions& options, const QString& folder) {
  const std::u16string marchers = ToU16(options.marchers);
  const std::u16string cheer = ToU16(options.cheer);
  const std::u16string signs = ToU16(options.signs);
  const std::u16string templateName = ToU16(options.templateName);
  ProcessionTexts texts;
  texts.Marchers = marchers;
  texts.Cheer = cheer;
  texts.Signs = signs;
  texts.FaceIndex = static_cast<std::int16_t>(options.face);
  texts.FaceText = kFaceItems[options.face];
  texts.Ears = options.ears;
  texts.TemplateName = templateName;
  texts.TemplateOnly = options.templateOnly;

  // What the left compose button refuses is refused, and so is a list that cannot be read or
  // names no such template, which the window lets pass as an empty template.
  const QString path = ListPath(folder, ListInfo(TemplateList::kPicture).file);
  BoxOutcome box = PictureBoxText(ChoicesFromTexts(texts), FilePath(path), kMaxPictureLength);
  if (box.listProblem != ListFileProblem::kNone) {
    return Refused(ListFileError(box.listProblem, path));
  }
  switch (box.refused) {
    case BoxOutcome::Refusal::kNone:
      break;
    case BoxOutcome::Refusal::kTemplateTooLong:
      return Refused(
          QStringLiteral(
              "the template %1 is longer than the limit of %2 characters; nothing written.")
              .arg(Quoted(options.templateName))
              .arg(kMaxPictureLength));
    case BoxOutcome::Refusal::kTextTooLong:
      return Refused(TooLongError(box.length));
  }
  CliText result;
  // A template without body lines is added as the window adds it; a name no header gives is a
  // mistake.
  if (box.noTemplateBody && !ExplainNoBody(options.templateName, path, &result.warning)) {
    return Refused(result.warning);
  }
  result.text = std::move(box.text);
  return result;
}

CliText ShowText(const QString& name, const QString& folder) {
  const QString path = ListPath(folder, ListInfo(TemplateList::kPanel).file);
  BoxOutcome box = PanelBoxText(ToU16(name), FilePath(path), kNoLengthLimit);
  if (box.listProblem != ListFileProblem::kNone) {
    return Refused(ListFileError(box.listProblem, path));
  }
  CliText result;
  result.text = std::move(box.text);
  if (!result.text.empty()) return result;
  QString error;
  ExplainNoBody(name, path, &error);
  return Refused(error);
}

bool ListText(TemplateList list, const QString& folder, std::string* text, QString* error) {
  const QString path = ListPath(folder, ListInfo(list).file);
  std::vector<std::u16string> names;
  if (!ReadList(
          path, [&](LineReader& reader) { names = ListTemplateNames(reader); }, error)) {
    return false;
  }
  text->clear();
  for (std::u16string& name : names) {
    // A line feed inside a header line (of a list with CR LF line ends) would split the name in
    // two lines: it is shown as the symbol for a line feed.
    std::replace(name.begin(), name.end(), u'\n', u'\u240A');
    *text += Utf8(name);
    *text += '\n';
  }
  return true;
}

namespace {

QString NoFormError(std::size_t line, char32_t c, bool written) {
  return QStringLiteral("line %1: %2 (%3) has no form in code page 932; %4")
      .arg(line)
      .arg(CodePointName(c), QString::fromUcs4(&c, 1),
           written ? QStringLiteral("the output stops before it.")
                   : QStringLiteral("nothing written."));
}

// Line breaks as EncodeCp932 counts them: CR LF, CR and LF each end a line.
std::size_t LineBreaks(std::u16string_view text) {
  std::size_t breaks = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    breaks += text[i] == u'\r' || (text[i] == u'\n' && (i == 0 || text[i - 1] != u'\r'));
  }
  return breaks;
}

// What --show writes is held back up to this size, so that a failure part way (a character code
// page 932 lacks, a read error) leaves the output empty, as for any text the window could show.
// A longer body is written as it is read, so that its length costs no memory; such a failure
// then ends the output where it stands.
constexpr std::size_t kHeldOutputBytes = std::size_t{16} << 20;
constexpr std::size_t kStreamedWriteBytes = std::size_t{1} << 20;

int ShowStreamed(const CliOptions& options, const QString& folder) {
  const QString path = ListPath(folder, ListInfo(TemplateList::kPanel).file);
  LineReader reader;
  const ListFileProblem problem = OpenListFile(reader, FilePath(path));
  if (problem != ListFileProblem::kNone) return Fail(ListFileError(problem, path));
  std::string pending;
  bool written = false;
  bool writeFailed = false;
  QString error;
  std::size_t line = 1;  // of the body, where the piece begins
  const auto take = [&](std::u16string_view piece) {
    // Pieces never part a surrogate pair, nor a CR from its LF.
    std::string bytes;
    if (options.encoding == CliEncoding::Cp932) {
      Cp932Encoding encoded = EncodeCp932(piece);
      if (!encoded.ok) {
        error = NoFormError(line + encoded.line - 1, encoded.unmapped, written);
        // What comes before the character is written when the output has begun. The first
        // place its code units stand is where it is: nothing earlier was missing.
        const char32_t c = encoded.unmapped;
        const char16_t units[2] = {static_cast<char16_t>(c < 0x10000 ? c : 0xD7C0 + (c >> 10)),
                                   static_cast<char16_t>(0xDC00 + (c & 0x3FF))};
        const std::size_t at = piece.find(std::u16string_view(units, c < 0x10000 ? 1 : 2));
        pending += EncodeCp932(piece.substr(0, at)).bytes;
        return false;
      }
      bytes = std::move(encoded.bytes);
    } else if (!EncodeText(piece, options.encoding, &bytes, &error)) {
      return false;
    }
    line += LineBreaks(piece);
    pending += bytes;
    if (pending.size() < (written ? kStreamedWriteBytes : kHeldOutputBytes)) return true;
    written = true;
    if (!WriteStandardOutput(pending, &error)) {
      writeFailed = true;
      return false;
    }
    pending.clear();
    return true;
  };
  const BodyLookup found = StreamTemplateBody(reader, ToU16(options.showName), take);
  // A failure after the output has begun ends it where it stands.
  if ((!error.isEmpty() || reader.failed()) && written && !writeFailed) {
    QString writeError;
    if (!WriteStandardOutput(pending, &writeError)) return Fail(writeError);
  }
  if (!error.isEmpty()) return Fail(error);
  if (reader.failed()) return Fail(ListFileError(ListFileProblem::kReadFailed, path));
  if (found == BodyLookup::kNone) {
    ExplainNoBody(options.showName, path, &error);
    return Fail(error);
  }
  return Write(pending);
}

}  // namespace

bool EncodeText(std::u16string_view text, CliEncoding encoding, std::string* bytes,
                QString* error) {
  switch (encoding) {
    case CliEncoding::Utf8:
      *bytes = Utf8(text);
      return true;
    case CliEncoding::ShiftJisSafe:
      *bytes = EncodeShiftJisSafe(text);
      return true;
    case CliEncoding::Cp932:
      break;
  }
  Cp932Encoding encoded = EncodeCp932(text);
  if (encoded.ok) {
    *bytes = std::move(encoded.bytes);
    return true;
  }
  *error = NoFormError(encoded.line, encoded.unmapped, false);
  return false;
}

namespace {

std::string BoardFolder() {
  return BoardProfileFolderPath(std::getenv("XDG_CONFIG_HOME"), std::getenv("HOME"));
}

QString FromUtf8(const std::string& text) { return QString::fromStdString(text); }

int KeepBoardSettings(const QString& file) {
  const BoardProfileResult made = ReadBoardSettingsFile(FilePath(file));
  if (!made.ok) return Fail(FromUtf8(made.error));
  std::string error;
  if (!KeepBoardProfile(made.profile, BoardFolder(), &error)) return Fail(FromUtf8(error));
  return Write(made.profile.name + '\n');
}

std::string ProblemText(const PostProblem& p) {
  const auto number = [](std::uint64_t n) { return std::to_string(n); };
  switch (p.kind) {
    case PostProblemKind::kLeadingSpace:
      return p.spaces == 1
                 ? "a half-width space starts the line; the board drops it"
                 : number(p.spaces) + " half-width spaces start the line; the board drops them";
    case PostProblemKind::kSpaceRun:
      return number(p.spaces) + " half-width spaces in a row; the board keeps one";
    case PostProblemKind::kLostCharacter:
      return CodePointName(p.character).toStdString() + " (" +
             QString::fromUcs4(&p.character, 1).toStdString() +
             ") is not in Shift_JIS; the board loses it";
    case PostProblemKind::kOverByteLimit:
      return number(p.count) + " bytes, over the board's limit of " + number(p.limit);
    case PostProblemKind::kOverLineLimit:
      return number(p.count) + " lines, over the board's limit of " + number(p.limit);
  }
  return {};
}

int WriteCheck(const std::u16string& text, const BoardProfile& profile) {
  const std::vector<PostProblem> problems = CheckPost(text, profile);
  std::string lines;
  for (const PostProblem& p : problems) {
    lines += std::to_string(p.line) + ':' + std::to_string(p.column) + '\t' + ProblemText(p) + '\n';
  }
  const int written = Write(lines);
  return written != 0 ? written : problems.empty() ? 0 : 1;
}

int WriteSplit(const std::u16string& text, const BoardProfile& profile, const CliOptions& options) {
  const PostSplit split = SplitPost(text, profile);
  const auto oversized = [&](std::size_t part) {
    return std::find(split.oversized.begin(), split.oversized.end(), part) != split.oversized.end();
  };
  const auto warn = [&](std::size_t part) {
    WriteErrorLine(QStringLiteral("part %1 is one line over the board's limit of %2 bytes.")
                       .arg(part + 1)
                       .arg(profile.byteLimit));
  };
  const std::size_t count = split.parts.size();
  if (options.split == 0) {
    for (const std::size_t part : split.oversized) warn(part);
    const int written = Write(std::to_string(count) + '\n');
    return written != 0 ? written : split.oversized.empty() ? 0 : 1;
  }
  const auto part = static_cast<std::size_t>(options.split - 1);
  if (part >= count) {
    return Fail(
        QStringLiteral("--split %1: there %2 only %3.")
            .arg(options.split)
            .arg(count == 1 ? QStringLiteral("is") : QStringLiteral("are"))
            .arg(count == 1 ? QStringLiteral("1 part") : QStringLiteral("%1 parts").arg(count)));
  }
  std::string bytes;
  QString error;
  if (!EncodeText(split.parts[part], options.encoding, &bytes, &error)) return Fail(error);
  if (oversized(part)) warn(part);
  const int written = Write(bytes);
  return written != 0 ? written : oversized(part) ? 1 : 0;
}

int WriteFixedSpacing(const std::u16string& text, const BoardProfile& profile,
                      const CliOptions& options) {
  const SpacingFix fix = FixSpacing(text, profile);
  std::string bytes;
  QString error;
  if (!EncodeText(fix.text, options.encoding, &bytes, &error)) return Fail(error);
  const int written = Write(bytes);
  // In the form --check writes its places, so that one reader takes both.
  std::string misses;
  for (const SpacingMiss& miss : fix.misses) {
    const std::uint32_t off = static_cast<std::uint32_t>(std::abs(miss.dots));
    misses += std::to_string(miss.line) + ':' + std::to_string(miss.column) + "\tthe blanks are " +
              std::to_string(off) + (off == 1 ? " dot " : " dots ") +
              (miss.dots > 0 ? "wider" : "narrower") + " than before\n";
  }
  WriteAll(STDERR_FILENO, misses);
  return written != 0 ? written : fix.misses.empty() ? 0 : 1;
}

}  // namespace

int RunOutput(const CliOptions& options, const QString& folder) {
  if (options.action == CliAction::BoardSettings)
    return KeepBoardSettings(options.boardSettingsFile);
  // The board is known before any text is made: a name that no profile has is a usage error.
  BoardProfile profile;
  if (options.check || options.split >= 0 || options.fixSpacing) {
    BoardProfileResult found = FindBoardProfile(options.board.toStdString(), BoardFolder());
    if (!found.ok) {
      WriteErrorLine(FromUtf8(found.error) +
                     (found.missing ? QStringLiteral(" Try 'koron-aa --help'.") : QString()));
      return found.missing ? 2 : 1;
    }
    profile = std::move(found.profile);
  }
  if (options.action == CliAction::List) {
    std::string names;
    QString error;
    if (!ListText(options.list, folder, &names, &error)) return Fail(error);
    return Write(names);
  }

  // A body is written as it is read; its widths and its picture need it whole.
  if (options.action == CliAction::Show && !options.widths && options.pngFile.isEmpty() &&
      !options.check && options.split < 0 && !options.fixSpacing) {
    return ShowStreamed(options, folder);
  }
  if (options.action == CliAction::Library || options.action == CliAction::Search ||
      options.action == CliAction::LibraryErrors) {
    return RunLibrary(options, folder);
  }
  const CliText text = options.action == CliAction::Print   ? PrintText(options, folder)
                       : options.action == CliAction::Entry ? LibraryEntryText(options, folder)
                                                            : ShowText(options.showName, folder);
  if (!text.ok) return Fail(text.error);
  if (!text.warning.isEmpty()) WriteErrorLine(text.warning);

  if (options.widths) return WriteWidths(text.text);
  if (options.check) return WriteCheck(text.text, profile);
  if (options.split >= 0) return WriteSplit(text.text, profile, options);
  if (options.fixSpacing) return WriteFixedSpacing(text.text, profile, options);
  if (!options.pngFile.isEmpty()) return WritePng(text.text, options.pngFile);
  std::string bytes;
  QString error;
  if (!EncodeText(text.text, options.encoding, &bytes, &error)) return Fail(error);
  return Write(bytes);
}

}  // namespace koron
