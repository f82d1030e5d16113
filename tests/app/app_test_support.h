#pragma once

#include <QByteArray>
#include <QString>

#include "tests/text/scratch_dir.h"

namespace koron::test {

// Makes a fresh, empty scratch directory the working directory for the lifetime of the object, so
// that the window finds only the list and position files a test writes; the XDG folders (the
// settings, the history, the index) point inside it too, so no test sees the user's own.
class ScratchDirectory {
 public:
  ScratchDirectory();
  ~ScratchDirectory();
  ScratchDirectory(const ScratchDirectory&) = delete;
  ScratchDirectory& operator=(const ScratchDirectory&) = delete;

  bool IsValid() const;

 private:
  QString previous_;
  testing::ScratchDir dir_;
  QByteArray xdg_[3];  // the variables as they were
};

// Writes `bytes` to `name` in the working directory, replacing it.
void WriteBytes(const QString& name, const QByteArray& bytes);

// The bytes of `name` in the working directory; empty when it cannot be read.
QByteArray ReadBytes(const QString& name);

// Shift-JIS bytes of a few texts the tests use, written out by hand.
namespace cp932 {
inline const QByteArray kNeko("\x82\xcb\x82\xb1");  // ねこ
inline const QByteArray kInu("\x8c\xa2");           // 犬
inline const QByteArray kSo("\x83\x5c");            // ソ (second byte is a backslash)
inline const QByteArray kOmega("\x81\x69\x81\x4c\x81\x45\x83\xd6\x81\x45\x81\x4d\x81\x6a");
// （´・ω・｀）
}  // namespace cp932

}  // namespace koron::test
