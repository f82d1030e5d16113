#pragma once

#include <QByteArray>
#include <QFont>
#include <QImage>
#include <QSize>
#include <QString>
#include <cstdint>
#include <string_view>
#include <vector>

namespace koron {

class AdvanceCache;

// Text boards draw text art in MS PGothic at 16 px on 18 px lines; the widths, the byte-count
// readout and the exported picture always use that size, whatever the text boxes show.
inline constexpr int kTextArtPixelSize = 16;
inline constexpr int kTextArtLineHeight = 18;
inline constexpr int kTextArtMargin = 8;

// The largest picture that is drawn and saved. libpng writes no image wider or taller than
// 1,000,000 pixels, and 2^28 pixels (256 MiB in 8-bit grey) is already far beyond any board.
inline constexpr std::int64_t kMaxTextArtImageSide = 1'000'000;
inline constexpr std::int64_t kMaxTextArtImagePixels = std::int64_t{1} << 28;

// The text-art face (the control face, substituted by Monapo, Mona, ...) at 16 px, kerning off,
// without hinting so that no desktop setting changes an advance. Registers the substitutes of
// SetUpFonts itself. Needs a QGuiApplication.
QFont TextArtFont();

// The advances of TextArtFont, filled from the font once per character and kept for the whole
// run. A character the font lacks is measured in the font that draws it. Needs a QGuiApplication
// (it stops the program with a message otherwise); use it from the GUI thread only.
AdvanceCache& TextArtAdvances();

// The width in dots of each line of `text` (as SplitLines cuts it) in the text-art font.
std::vector<std::uint32_t> TextArtLineWidths(std::u16string_view text);

// For each line of `text` (as SplitLines cuts it), whether its width is only a guess: it holds
// a character that neither Monapo nor Mona draws, other than the thin spaces, whose widths the
// board font's table gives.
std::vector<bool> TextArtApproximateLines(std::u16string_view text);

// The size of RenderTextArt(text): widest line + 16 wide, lines × 18 + 16 high (16 × 16 for the
// empty text). May exceed the limits above; the picture is then not drawn.
QSize TextArtImageSize(std::u16string_view text);

// The text drawn as a board draws it: black on white (8-bit grey) in the text-art font, 18 px
// from one line to the next, an 8 px margin all round; widest line + 16 wide, lines × 18 + 16
// high. Each character stands exactly where the sum of the advances before it on its line puts
// it. A null image when the picture exceeds the limits above or memory runs out.
QImage RenderTextArt(std::u16string_view text);

// Why a picture was not saved, for each front end to put in its own words.
struct PngSaveFailure {
  enum class Reason {
    kNoFileName,
    kNoFolder,    // `path` is the folder
    kNotAFolder,  // `path` is what stands where the folder should be
    kTargetIsAFolder,
    kNotARegularFile,  // a device, a pipe or a socket: never replaced by a picture
    kTooLarge,         // `size` is beyond the limits above
    kOutOfMemory,      // `size` could not be allocated
    kCannotWrite,      // `system` holds the system's own words
  };
  Reason reason = Reason::kCannotWrite;
  QString path;
  QSize size;
  QString system;
};

// RenderTextArt as the bytes of a PNG file, for a front end that writes them elsewhere (into a
// pipe, say). False, with the reason in `failure` (`path` named in it), when the picture is too
// large, memory runs out or the encoder fails.
bool EncodeTextArtPng(std::u16string_view text, const QString& path, QByteArray* png,
                      PngSaveFailure* failure = nullptr);

// RenderTextArt saved as a PNG file. False, with the reason in `failure`, when it cannot be
// written (a full disk included, with the system's words); an existing file is then left as it
// was, and no partial file is left behind. A symbolic link is kept: the file at the end of its
// chain is replaced. A chain through a descriptor's name (/dev/fd/1, /proc/self/fd/1) is
// refused as not a regular file, since the file behind it is open elsewhere.
bool SaveTextArtPng(std::u16string_view text, const QString& path,
                    PngSaveFailure* failure = nullptr);

}  // namespace koron
