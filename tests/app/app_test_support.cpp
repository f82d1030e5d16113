#include "tests/app/app_test_support.h"

#include <QDir>
#include <QFile>

namespace koron::test {

ScratchDirectory::ScratchDirectory() : previous_(QDir::currentPath()) {
  if (!dir_.path().empty()) QDir::setCurrent(QFile::decodeName(dir_.path().c_str()));
}

ScratchDirectory::~ScratchDirectory() { QDir::setCurrent(previous_); }

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
