#include "cli/command_line.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <cstdlib>
#include <exception>

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

// The folder of --user-dir, made ready as far as the file system lets it be.
QString UserFolder() {
  const std::string folder = UserFolderPath(std::getenv("XDG_DATA_HOME"), std::getenv("HOME"));
  PrepareUserFolder(folder, SystemDataDirs(std::getenv("XDG_DATA_DIRS")));
  return QFile::decodeName(QByteArray::fromStdString(folder));
}

StartRequest Read(int argc, char** argv) {
  QStringList arguments;
  for (int i = 0; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
  if (arguments.isEmpty()) arguments << QStringLiteral("koron-aa");

  const ParsedCommandLine parsed = ParseCommandLine(arguments);
  if (!parsed.ok) {
    return EndWithError(2, parsed.error + QStringLiteral(" Try 'koron-aa --help'."));
  }
  const CliOptions& options = parsed.options;
  if (options.help) return EndWithText(CliHelpText());
  if (options.version) return EndWithText(CliVersionText());

  QString folder;
  if (!options.dir.isEmpty()) {
    QString error;
    folder = GivenFolder(options.dir, &error);
    if (!error.isEmpty()) return EndWithError(2, error);
  }

  if (options.action == CliAction::Window) {
    // Checked before the user's folder is made: a run that cannot show it leaves no trace.
    const QString missing =
        MissingDisplay(options.platform, options.displayGiven, options.display,
                       std::getenv("QT_QPA_PLATFORM"), std::getenv("WAYLAND_DISPLAY"),
                       std::getenv("DISPLAY"));
    if (!missing.isEmpty()) return EndWithError(1, missing);
  }

  if (options.userDir) folder = UserFolder();
  if (folder.isEmpty()) folder = QDir::currentPath();

  if (options.action != CliAction::Window) return End(RunOutput(options, folder));
  StartRequest start;
  start.openWindow = true;
  start.folder = folder;
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
