#include "cli/standard_streams.h"

#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <string.h>
#include <unistd.h>

#include <QByteArray>

#include "text/line_writer.h"

namespace koron {
namespace {

bool stdoutWasClosed = false;

}  // namespace

void GuardStandardStreams() {
  for (int fd = 0; fd <= 2; ++fd) {
    if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
    // The lowest free descriptor is this one, as those below it are open by now.
    const int opened = ::open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
    if (opened >= 0 && opened != fd) ::close(opened);
    if (fd == 1) stdoutWasClosed = true;
  }
}

bool WriteStandardOutput(std::string_view bytes, QString* error) {
  if (bytes.empty()) return true;
  int failure = EBADF;
  if (!stdoutWasClosed) {
    // A reader that went away gives EPIPE here instead of ending the program silently.
    ::signal(SIGPIPE, SIG_IGN);
    if (WriteAll(STDOUT_FILENO, bytes)) return true;
    failure = errno;
  }
  *error = QStringLiteral("cannot write to standard output: %1")
               .arg(QString::fromLocal8Bit(::strerror(failure)));
  return false;
}

void WriteErrorLine(const QString& message) {
  QString line = QStringLiteral("koron-aa: ") + message;
  for (QChar& c : line) {
    const char16_t u = c.unicode();
    if (u < 0x20 || (u >= 0x7F && u < 0xA0) || c == QChar::LineSeparator ||
        c == QChar::ParagraphSeparator) {
      c = QLatin1Char('?');
    }
  }
  const QByteArray bytes = line.toUtf8() + '\n';
  WriteAll(STDERR_FILENO,
           std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
}

MutedStandardError::MutedStandardError() {
  saved_ = ::fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 3);
  const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
  if (saved_ >= 0 && null >= 0) ::dup2(null, STDERR_FILENO);
  if (null >= 0) ::close(null);
}

MutedStandardError::~MutedStandardError() {
  if (saved_ < 0) return;
  ::dup2(saved_, STDERR_FILENO);
  ::close(saved_);
}

}  // namespace koron
