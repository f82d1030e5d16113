#include "tests/app/app_test_support.h"

#include <QDir>
#include <QFile>

namespace koron::test {

ScratchDirectory::ScratchDirectory()
    : previous_(QDir::currentPath()), dir_(std::make_unique<QTemporaryDir>()) {
  if (dir_->isValid()) QDir::setCurrent(dir_->path());
}

ScratchDirectory::~ScratchDirectory() { QDir::setCurrent(previous_); }

bool ScratchDirectory::IsValid() const {
  return dir_->isValid() && QDir::currentPath() == QDir(dir_->path()).canonicalPath();
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
