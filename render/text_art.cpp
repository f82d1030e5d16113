#include "render/text_art.h"

#include <fcntl.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QFontMetricsF>
#include <QGlyphRun>
#include <QGuiApplication>
#include <QImageWriter>
#include <QPainter>
#include <QRandomGenerator>
#include <QRawFont>
#include <QRegularExpression>
#include <QTextLayout>
#include <algorithm>
#include <cmath>
#include <limits>
#include <unordered_map>

#include "posting/board_spaces.h"
#include "posting/code_points.h"
#include "posting/dot_widths.h"
#include "posting/line_composer.h"
#include "render/fonts.h"
#include "text/line_writer.h"

namespace koron {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

void RequireGuiApplication() {
  if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()) == nullptr) {
    qFatal("Text-art fonts are measured through Qt: create a QGuiApplication first");
  }
}

QString CodePointString(char32_t c) { return QString::fromUcs4(&c, 1); }

// Calls `onChar(c)` for each code point of a line as LineWidths reads it: a lone surrogate
// stands for U+FFFD.
template <typename OnChar>
void ForEachCodePoint(std::u16string_view line, OnChar onChar) {
  for (std::size_t i = 0; i < line.size();) {
    const char32_t c = NextCodePoint(line, i);
    onChar(IsSurrogate(c) ? kReplacement : c);
  }
}

// One glyph of a character drawn alone, relative to its pen position on the baseline.
struct GlyphPiece {
  int font = 0;
  quint32 glyph = 0;
  QPointF offset;
};

// The glyphs that draw each character, taken from a layout of that character alone, once, so
// that the font fallback picks the same face that TextArtAdvances measured. Placing the glyphs
// ourselves keeps shaping across neighbours (kerning, ligatures) out of the picture: every pen
// position is the sum of the cached advances before it.
class GlyphShapes {
 public:
  const std::vector<GlyphPiece>& Of(char32_t c) {
    auto found = pieces_.find(c);
    if (found == pieces_.end()) found = pieces_.emplace(c, Shape(c)).first;
    return found->second;
  }
  const std::vector<QRawFont>& fonts() const { return fonts_; }

 private:
  std::vector<GlyphPiece> Shape(char32_t c) {
    QTextLayout layout(CodePointString(c), TextArtFont());
    layout.beginLayout();
    QTextLine line = layout.createLine();
    if (!line.isValid()) return {};
    line.setLineWidth(std::numeric_limits<int>::max() / 2);
    layout.endLayout();
    const QPointF baseline(line.x(), line.y() + line.ascent());
    std::vector<GlyphPiece> pieces;
    for (const QGlyphRun& run : layout.glyphRuns()) {
      const int font = FontIndex(run.rawFont());
      const QList<quint32> glyphs = run.glyphIndexes();
      const QList<QPointF> positions = run.positions();
      for (qsizetype k = 0; k < glyphs.size() && k < positions.size(); ++k) {
        pieces.push_back({font, glyphs[k], positions[k] - baseline});
      }
    }
    return pieces;
  }

  int FontIndex(const QRawFont& font) {
    const auto found = std::find(fonts_.begin(), fonts_.end(), font);
    if (found != fonts_.end()) return static_cast<int>(found - fonts_.begin());
    fonts_.push_back(font);
    return static_cast<int>(fonts_.size() - 1);
  }

  std::vector<QRawFont> fonts_;
  std::unordered_map<char32_t, std::vector<GlyphPiece>> pieces_;
};

// Whether Monapo or Mona, the faces drawn to the board font's widths, has a glyph for `c`;
// asked of each once per character.
class TextArtCoverage {
 public:
  bool Has(char32_t c) {
    if (c < 0x10000) {
      std::int8_t& known = bmp_[c];
      if (known < 0) known = Ask(c) ? 1 : 0;
      return known == 1;
    }
    const auto found = beyond_.find(c);
    if (found != beyond_.end()) return found->second;
    return beyond_.emplace(c, Ask(c)).first->second;
  }

 private:
  bool Ask(char32_t c) const {
    return std::any_of(faces_.begin(), faces_.end(),
                       [c](const QRawFont& face) { return face.supportsCharacter(c); });
  }

  std::vector<QRawFont> faces_ = [] {
    std::vector<QRawFont> faces;
    for (const QString& family : {QStringLiteral("Monapo"), QStringLiteral("Mona")}) {
      QFont font(family);
      font.setPixelSize(kTextArtPixelSize);
      const QRawFont face = QRawFont::fromFont(font);
      // fromFont gives whatever face stands in for a family that is not installed.
      if (face.isValid() && face.familyName().compare(family, Qt::CaseInsensitive) == 0) {
        faces.push_back(face);
      }
    }
    return faces;
  }();
  std::vector<std::int8_t> bmp_ = std::vector<std::int8_t>(0x10000, -1);
  std::unordered_map<char32_t, bool> beyond_;
};

TextArtCoverage& Coverage() {
  RequireGuiApplication();
  static TextArtCoverage coverage;
  return coverage;
}

// A thin space that the text-art faces lack takes the board font's width from the table, not
// that of whatever face the fallback finds, and nothing of that face is drawn for it.
bool SpacedByTable(char32_t c) { return IsThinSpace(c) && !Coverage().Has(c); }

GlyphShapes& Shapes() {
  RequireGuiApplication();
  static GlyphShapes shapes;
  return shapes;
}

// Where the baseline stands inside an 18 px line: as a browser sets a 16 px font on 18 px lines
// (CSS line-height), the spare height is shared equally above and below the font's ascent plus
// descent. Monapo and Mona (ascent 14, descent 2) and MS PGothic stand at 15, one dot of
// leading above the ascent.
int BaselineInLine() {
  static const int baseline = [] {
    const QFontMetricsF metrics(TextArtFont());
    const qreal leading = (kTextArtLineHeight - metrics.ascent() - metrics.descent()) / 2;
    return static_cast<int>(std::lround(leading + metrics.ascent()));
  }();
  return baseline;
}

// Where a mark that composes with nothing is drawn (pen units) over the character that spans
// [base, end): a mark with an advance of its own, as the fallback faces mostly draw one inside a
// box of its own width, has that box centred on the character; one without, drawn to the left
// of its origin over what precedes it, stands at the character's end. With no character before
// it (base < 0), at the pen.
std::int64_t MarkOrigin(std::int64_t base, std::int64_t end, std::int32_t advance) {
  if (base < 0 || advance == 0) return end;
  return base + (end - base - advance) / 2;
}

QSize ImageSize(const std::vector<std::uint32_t>& widths) {
  const std::int64_t widest = widths.empty() ? 0 : *std::max_element(widths.begin(), widths.end());
  const std::int64_t width = widest + 2 * kTextArtMargin;
  const std::int64_t height =
      static_cast<std::int64_t>(widths.size()) * kTextArtLineHeight + 2 * kTextArtMargin;
  constexpr std::int64_t kMaxInt = std::numeric_limits<int>::max();
  return QSize(static_cast<int>(std::min(width, kMaxInt)),
               static_cast<int>(std::min(height, kMaxInt)));
}

bool WithinLimits(QSize size) {
  return size.width() <= kMaxTextArtImageSide && size.height() <= kMaxTextArtImageSide &&
         std::int64_t{size.width()} * size.height() <= kMaxTextArtImagePixels;
}

// A name the kernel gives an open descriptor (/dev/fd/1, /proc/self/fd/1): the link leads to a
// file that someone holds open, maybe for appending, which a rename must not take away.
bool IsDescriptorLink(const QString& path) {
  static const QRegularExpression name(QStringLiteral("^/(dev|proc/[^/]+)/fd/[0-9]+$"));
  return name.match(QDir::cleanPath(QFileInfo(path).absoluteFilePath())).hasMatch();
}

// The file a save to `path` replaces: the end of its chain of symbolic links (the path itself
// for a chain that never ends), as QSaveFile found it. Empty for a chain through a descriptor.
QString FinalFile(const QString& path) {
  QFileInfo current(path);
  for (int depth = 0; depth < 128; ++depth) {
    if (IsDescriptorLink(current.filePath())) return {};
    if (!current.isSymLink()) return current.filePath();
    current.setFile(current.symLinkTarget());
  }
  return path;
}

QByteArray RandomSuffix() {
  static constexpr char kLetters[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  QByteArray suffix(6, '\0');
  for (char& c : suffix) c = kLetters[QRandomGenerator::global()->bounded(62)];
  return suffix;
}

// Puts `bytes` in the place of `target`: written to a new file beside it, flushed to the disk
// and renamed over it only when every step succeeded, so that a full disk leaves the old file
// as it was. 0, or the errno of the step that failed (the new file is then gone again).
int ReplaceFile(const QByteArray& target, const QByteArray& bytes) {
  struct stat old {};
  const bool hasOld = ::stat(target.constData(), &old) == 0;
  // As QSaveFile: a file the user may not write is not replaced either.
  if (hasOld && ::faccessat(AT_FDCWD, target.constData(), W_OK, AT_EACCESS) != 0) return errno;
  QByteArray temporary;
  int fd = -1;
  for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
    temporary = target + '.' + RandomSuffix();
    // Private until it has the old file's permissions; a new file gets 0666 less the umask.
    fd = ::open(temporary.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC,
                hasOld ? 0600 : 0666);
    if (fd < 0 && errno != EEXIST) return errno;
  }
  if (fd < 0) return EEXIST;
  if (hasOld) ::fchmod(fd, old.st_mode & 07777);
  int error = 0;
  if (!WriteAll(fd, std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size()))) ||
      ::fsync(fd) != 0) {
    error = errno;
  }
  if (::close(fd) != 0 && error == 0) error = errno;
  if (error == 0 && ::rename(temporary.constData(), target.constData()) != 0) error = errno;
  if (error != 0) {
    ::unlink(temporary.constData());
    return error;
  }
  return 0;
}

}  // namespace

QFont TextArtFont() {
  SetUpFonts();  // the cache below lives for the whole run: never measure an unsubstituted face
  QFont font = ControlFont(9);
  font.setPixelSize(kTextArtPixelSize);
  font.setKerning(false);
  font.setHintingPreference(QFont::PreferNoHinting);
  return font;
}

AdvanceCache& TextArtAdvances() {
  RequireGuiApplication();
  static AdvanceCache advances([](char32_t c) {
    // Measuring the character as a string lets Qt's font fallback find the face that draws it.
    static const QFontMetricsF metrics(TextArtFont());
    if (SpacedByTable(c)) {
      return static_cast<std::int32_t>(BoardSpaceDots(c)) * kAdvanceUnitsPerDot;
    }
    return static_cast<std::int32_t>(
        std::lround(metrics.horizontalAdvance(CodePointString(c)) * kAdvanceUnitsPerDot));
  });
  return advances;
}

std::vector<std::uint32_t> TextArtLineWidths(std::u16string_view text) {
  return LineWidths(text, TextArtAdvances());
}

std::vector<bool> TextArtApproximateLines(std::u16string_view text) {
  TextArtCoverage& coverage = Coverage();
  std::vector<bool> approximate;
  for (const std::u16string_view line : SplitLines(text)) {
    bool guessed = false;
    ForEachCodePoint(line, [&](char32_t c) {
      if (!guessed && !coverage.Has(c) && !IsThinSpace(c)) guessed = true;
    });
    approximate.push_back(guessed);
  }
  return approximate;
}

QSize TextArtImageSize(std::u16string_view text) { return ImageSize(TextArtLineWidths(text)); }

QImage RenderTextArt(std::u16string_view text) {
  const QSize size = ImageSize(TextArtLineWidths(text));
  if (!WithinLimits(size)) return {};
  QImage image(size, QImage::Format_Grayscale8);
  if (image.isNull()) return {};
  image.fill(Qt::white);

  GlyphShapes& shapes = Shapes();
  AdvanceCache& advances = TextArtAdvances();
  const int baseline = BaselineInLine();
  // All glyphs of one face go into one run: a few draw calls whatever the length of the text.
  std::vector<QList<quint32>> glyphs;
  std::vector<QList<QPointF>> positions;
  LineComposer composer;  // drawn in NFC, as LineWidths measures
  int row = 0;
  for (std::u16string_view written : SplitLines(text)) {
    const std::u16string_view line = composer.Compose(written);
    const bool marks = composer.MayHoldMarks();
    const qreal y = kTextArtMargin + row * kTextArtLineHeight + baseline;
    std::int64_t pen = 0;    // in 1/64 dot, summed exactly as LineWidths sums
    std::int64_t base = -1;  // where the last character that is no mark starts
    ForEachCodePoint(line, [&](char32_t c) {
      const bool mark = marks && IsCombiningMark(c);
      if (!mark) base = pen;
      const std::int64_t origin = mark ? MarkOrigin(base, pen, advances.Advance(c)) : pen;
      const qreal x = kTextArtMargin + static_cast<qreal>(origin) / kAdvanceUnitsPerDot;
      if (SpacedByTable(c)) {
        pen += advances.Advance(c);
        return;
      }
      for (const GlyphPiece& piece : shapes.Of(c)) {
        if (static_cast<std::size_t>(piece.font) >= glyphs.size()) {
          glyphs.resize(piece.font + 1);
          positions.resize(piece.font + 1);
        }
        glyphs[piece.font].push_back(piece.glyph);
        positions[piece.font].push_back(QPointF(x, y) + piece.offset);
      }
      if (!mark) pen += advances.Advance(c);
    });
    ++row;
  }

  QPainter painter(&image);
  painter.setPen(Qt::black);
  for (std::size_t font = 0; font < glyphs.size(); ++font) {
    if (glyphs[font].isEmpty()) continue;
    QGlyphRun run;
    run.setRawFont(shapes.fonts()[font]);
    run.setGlyphIndexes(glyphs[font]);
    run.setPositions(positions[font]);
    painter.drawGlyphRun(QPointF(0, 0), run);
  }
  painter.end();
  return image;
}

bool EncodeTextArtPng(std::u16string_view text, const QString& path, QByteArray* png,
                      PngSaveFailure* failure) {
  using Reason = PngSaveFailure::Reason;
  const auto fail = [&](Reason reason, QSize size, const QString& system = {}) {
    if (failure != nullptr) *failure = {reason, QDir::cleanPath(path), size, system};
    return false;
  };
  const QSize size = TextArtImageSize(text);
  if (!WithinLimits(size)) return fail(Reason::kTooLarge, size);
  const QImage image = RenderTextArt(text);
  if (image.isNull()) return fail(Reason::kOutOfMemory, size);
  // Encoded in memory first: QImageWriter on a file keeps 16 KiB in a buffer and forgets the
  // error of its last write, so a full disk would pass for success.
  png->clear();
  QBuffer buffer(png);
  buffer.open(QIODevice::WriteOnly);
  QImageWriter writer(&buffer, "png");
  if (!writer.write(image)) return fail(Reason::kCannotWrite, size, writer.errorString());
  return true;
}

bool SaveTextArtPng(std::u16string_view text, const QString& path, PngSaveFailure* failure) {
  const auto fail = [failure](PngSaveFailure::Reason reason, const QString& where, QSize size = {},
                              const QString& system = {}) {
    if (failure != nullptr) *failure = {reason, QDir::cleanPath(where), size, system};
    return false;
  };
  using Reason = PngSaveFailure::Reason;
  if (path.isEmpty()) return fail(Reason::kNoFileName, path);
  const QFileInfo target(path);
  const QFileInfo folder(target.absolutePath());
  if (!folder.exists()) return fail(Reason::kNoFolder, folder.filePath());
  if (!folder.isDir()) return fail(Reason::kNotAFolder, folder.filePath());
  if (target.isDir()) return fail(Reason::kTargetIsAFolder, path);
  // The picture replaces a file by a rename, which would put it in the place of a device or a
  // pipe (run as root, /dev/null itself).
  if (target.exists() && !target.isFile()) return fail(Reason::kNotARegularFile, path);
  const QString final = FinalFile(path);
  if (final.isEmpty()) return fail(Reason::kNotARegularFile, path);
  QByteArray png;
  if (!EncodeTextArtPng(text, path, &png, failure)) return false;
  const int error = ReplaceFile(QFile::encodeName(final), png);
  if (error != 0) {
    return fail(Reason::kCannotWrite, path, TextArtImageSize(text),
                QString::fromLocal8Bit(::strerror(error)));
  }
  return true;
}

}  // namespace koron
