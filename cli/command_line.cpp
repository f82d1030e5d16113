#include "cli/command_line.h"

#include <unistd.h>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <cstdlib>
#include <exception>
#include <memory>
#include <utility>

#include "cli/display_check.h"
#include "cli/options.h"
#include "cli/output.h"
#include "cli/standard_streams.h"
#include "cli/user_folder.h"

namespace koron {
namespace {

StartRequest End(int exitCode) {
  StartRequest start;
  start.exitCode = exitCode;
  return start;
}

StartRequest EndWithError(int exitCode, const QString& message) {
  WriteErrorLine(message);
  return End(exitCode);
}

StartRequest EndWithText(const QString& text) {
  const QByteArray bytes = text.toUtf8();
  QString error;
  if (WriteStandardOutput(
          std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())), &error)) {
    return End(0);
  }
  return EndWithError(1, error);
}

// Qt reads arguments, variables and file names as UTF-8, with U+FFFD for bytes that are not; a
// name read so would lead to another file, or to none, so such a name is refused instead.
bool UsableExactly(const QByteArray& bytes) {
  return QFile::encodeName(QFile::decodeName(bytes)) == bytes;
}

// `bytes` for a message: what is UTF-8 as it is, every other byte (and a control) as \xHH.
QString Escaped(const QByteArray& bytes) {
  QString text;
  for (qsizetype i = 0; i < bytes.size();) {
    const auto lead = static_cast<unsigned char>(bytes[i]);
    const qsizetype length = lead < 0x80 ? 1 : lead >= 0xf0 ? 4 : lead >= 0xe0 ? 3 : 2;
    const QByteArray piece = bytes.mid(i, length);
    const bool plain =
        length == 1 ? lead >= 0x20 && lead != 0x7f : piece.size() == length && UsableExactly(piece);
    if (plain) {
      text += QFile::decodeName(piece);
      i += length;
    } else {
      text += QStringLiteral("\\x%1").arg(lead, 2, 16, QLatin1Char('0'));
      ++i;
    }
  }
  return text;
}

// `what` names the thing before its quoted name, `where` (when not empty) after it.
QString NotUtf8(const QString& what, const QByteArray& bytes, const QString& where = {}) {
  return QStringLiteral("%1 '%2'%3 is not UTF-8, so it cannot be used exactly.")
      .arg(what, Escaped(bytes), where);
}

// The first argument that cannot be used exactly, as a message naming its option; empty when
// all can. Read from the bytes, since the parser only sees them as Qt has read them.
QString UnusableArgument(int argc, char** argv) {
  QString valueOf;  // the option that takes this argument as its value
  bool optionsEnded = false;
  for (int i = 1; i < argc; ++i) {
    const QByteArray arg(argv[i]);
    QString owner = std::exchange(valueOf, QString());
    QByteArray value = arg;
    if (owner.isEmpty() && !optionsEnded && arg.size() > 1 && arg.startsWith('-')) {
      if (arg == "--") optionsEnded = true;
      const qsizetype equals = arg.indexOf('=');
      const QByteArray given = equals < 0 ? arg : arg.left(equals);
      if (UsableExactly(given)) {
        if (given.size() < arg.size()) {
          owner = QFile::decodeName(given);
          value = arg.mid(given.size() + 1);
        } else if (TakesValue(QFile::decodeName(given.mid(given.startsWith("--") ? 2 : 1)))) {
          valueOf = QFile::decodeName(given);
        }
      }
    }
    if (!UsableExactly(value)) {
      return NotUtf8(owner.isEmpty() ? QStringLiteral("argument") : owner + QLatin1Char(':'),
                     value);
    }
  }
  return {};
}

// The current folder, absolute; empty, with the reason in `error`, when Qt would read its name
// as another folder's.
QString CurrentFolder(QString* error) {
  const QString path = QDir::currentPath();
  const std::unique_ptr<char, decltype(&std::free)> bytes(::getcwd(nullptr, 0), &std::free);
  if (bytes != nullptr && QFile::encodeName(path) != bytes.get()) {
    *error = NotUtf8(QStringLiteral("the current folder"), bytes.get());
    return {};
  }
  return path;
}

bool IsRelative(const QString& path) { return !path.isEmpty() && !path.startsWith(u'/'); }

// The folder --dir names, absolute; empty, with the reason in `error`, when it is no folder.
QString GivenFolder(const QString& dir, QString* error) {
  const QFileInfo info(dir);
  if (!info.exists()) {
    *error = QStringLiteral("--dir: '%1' does not exist.").arg(dir);
  } else if (!info.isDir()) {
    *error = QStringLiteral("--dir: '%1' is not a folder.").arg(dir);
  } else {
    return info.absoluteFilePath();
  }
  return {};
}

// The folder of --user-dir, made ready as far as the file system lets it be; empty, with the
// reason in `error`, when its name cannot be used exactly. The data folders need no such check:
// they are read by their bytes.
QString UserFolder(QString* error) {
  const char* dataHome = std::getenv("XDG_DATA_HOME");
  const char* home = std::getenv("HOME");
  const std::string folder = UserFolderPath(dataHome, home);
  const QByteArray bytes = QByteArray::fromStdString(folder);
  if (!UsableExactly(bytes)) {
    *error =
        NotUtf8(QStringLiteral("--user-dir: the folder"), bytes,
                QStringLiteral(" (from %1)").arg(QLatin1String(UserFolderSource(dataHome, home))));
    return {};
  }
  PrepareUserFolder(folder, SystemDataDirs(std::getenv("XDG_DATA_DIRS")));
  return QFile::decodeName(bytes);
}

StartRequest Read(int argc, char** argv) {
  QStringList arguments;
  for (int i = 0; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
  if (arguments.isEmpty()) arguments << QStringLiteral("koron-aa");

  if (const QString unusable = UnusableArgument(argc, argv); !unusable.isEmpty()) {
    return EndWithError(2, unusable);
  }
  const ParsedCommandLine parsed = ParseCommandLine(arguments);
  if (!parsed.ok) {
    return EndWithError(2, parsed.error + QStringLiteral(" Try 'koron-aa --help'."));
  }
  const CliOptions& options = parsed.options;
  if (options.help) return EndWithText(CliHelpText());
  if (options.version) return EndWithText(CliVersionText());

  QString error;
  // Relative names are taken from the current folder, through its name as Qt reads it.
  if (IsRelative(options.pngFile) || IsRelative(options.dir) ||
      (options.dir.isEmpty() && !options.userDir)) {
    CurrentFolder(&error);
    if (!error.isEmpty()) return EndWithError(2, error);
  }
  QString folder;
  if (!options.dir.isEmpty()) {
    folder = GivenFolder(options.dir, &error);
    if (!error.isEmpty()) return EndWithError(2, error);
  }

  if (options.action == CliAction::Window) {
    // Checked before the user's folder is made: a run that cannot show it leaves no trace.
    const QString missing = MissingDisplay(options.platform, options.displayGiven, options.display,
                                           std::getenv("QT_QPA_PLATFORM"),
                                           std::getenv("WAYLAND_DISPLAY"), std::getenv("DISPLAY"));
    if (!missing.isEmpty()) return EndWithError(1, missing);
  }

  if (options.userDir) {
    folder = UserFolder(&error);
    if (!error.isEmpty()) return EndWithError(2, error);
  }
  if (folder.isEmpty()) folder = QDir::currentPath();

  if (options.action != CliAction::Window) return End(RunOutput(options, folder));
  StartRequest start;
  start.openWindow = true;
  start.folder = folder;
  start.openLibrary = options.openLibrary;
  return start;
}

}  // namespace

StartRequest ReadCommandLine(int argc, char** argv) {
  GuardStandardStreams();
  try {
    return Read(argc, argv);
  } catch (const std::exception& e) {
    // Out of memory for a huge template, say: a message and a failure, not an abort.
    return EndWithError(1, QString::fromLocal8Bit(e.what()));
  }
}

}  // namespace koron
