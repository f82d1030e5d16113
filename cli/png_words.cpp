#include "cli/png_words.h"

#include <QDir>

namespace koron {

QString DescribeInEnglish(const PngSaveFailure& failure) {
  using Reason = PngSaveFailure::Reason;
  const QString path = QDir::toNativeSeparators(failure.path);
  switch (failure.reason) {
    case Reason::kNoFileName:
      return QStringLiteral("No file name was given.");
    case Reason::kNoFolder:
      return QStringLiteral("The folder %1 does not exist.").arg(path);
    case Reason::kNotAFolder:
      return QStringLiteral("%1 is not a folder.").arg(path);
    case Reason::kTargetIsAFolder:
      return QStringLiteral("%1 is a folder.").arg(path);
    case Reason::kNotARegularFile:
      return QStringLiteral("%1 is not a regular file.").arg(path);
    case Reason::kTooLarge:
      return QStringLiteral(
                 "The picture is too large for an image: %1 x %2 pixels (at most %3 "
                 "on a side and %4 in all).")
          .arg(failure.size.width())
          .arg(failure.size.height())
          .arg(kMaxTextArtImageSide)
          .arg(kMaxTextArtImagePixels);
    case Reason::kOutOfMemory:
      return QStringLiteral("There is not enough memory to draw the picture (%1 x %2 pixels).")
          .arg(failure.size.width())
          .arg(failure.size.height());
    case Reason::kCannotWrite:
      break;
  }
  return QStringLiteral("Cannot write %1: %2").arg(path, failure.system);
}

}  // namespace koron
