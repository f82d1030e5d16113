#pragma once

#include <QFont>
#include <QImage>
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

// The text-art face (the control face, substituted by Monapo, Mona, ...) at 16 px, kerning off.
// Needs a QGuiApplication and the substitutes of SetUpFonts.
QFont TextArtFont();

// The advances of TextArtFont, filled from the font once per character and kept for the whole
// run. A character the font lacks is measured in the font that draws it.
AdvanceCache& TextArtAdvances();

// The width in dots of each line of `text` (as SplitLines cuts it) in the text-art font.
std::vector<std::uint32_t> TextArtLineWidths(std::u16string_view text);

// The text drawn as a board draws it: black on white in the text-art font, 18 px from one line
// to the next, an 8 px margin all round; widest line + 16 wide, lines × 18 + 16 high.
QImage RenderTextArt(std::u16string_view text);

// RenderTextArt saved as a PNG file. False, with a reason in `error`, when it cannot be written.
bool SaveTextArtPng(std::u16string_view text, const QString& path, QString* error = nullptr);

}  // namespace koron
