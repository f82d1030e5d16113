#include "tests/app/app_test_support.h"

#include <QDir>
#include <QFile>

namespace koron::test {

namespace {
const char* const kXdgNames[] = {"XDG_CACHE_HOME", "XDG_DATA_HOME", "XDG_CONFIG_HOME"};
}  // namespace

ScratchDirectory::ScratchDirectory() : previous_(QDir::currentPath()) {
  if (dir_.path().empty()) return;
  QDir::setCurrent(QFile::decodeName(dir_.path().c_str()));
  for (int i = 0; i < 3; ++i) {
    xdg_[i] = qgetenv(kXdgNames[i]);
    // Names that begin with "." are no part of a library.
    qputenv(
        kXdgNames[i],
        QDir::current().filePath(QStringLiteral(".xdg/") + QLatin1String(kXdgNames[i])).toUtf8());
  }
}

ScratchDirectory::~ScratchDirectory() {
  QDir::setCurrent(previous_);
  if (dir_.path().empty()) return;
  for (int i = 0; i < 3; ++i) {
    if (xdg_[i].isNull()) {
      qunsetenv(kXdgNames[i]);
    } else {
      qputenv(kXdgNames[i], xdg_[i]);
    }
  }
}

bool ScratchDirectory::IsValid() const {
  return !dir_.path().empty() &&
         QDir::currentPath() == QDir(QFile::decodeName(dir_.path().c_str())).canonicalPath();
}

void WriteBytes(const QString& name, const QByteArray& bytes) {
  QFile file(name);
  if (file.open(QIODevice::WriteOnly | QIODevice::Truncate)) file.write(bytes);
}

QByteArray ReadBytes(const QString& name) {
  QFile file(name);
  if (!file.open(QIODevice::ReadOnly)) return {};
  return file.readAll();
}

}  // namespace koron::test
