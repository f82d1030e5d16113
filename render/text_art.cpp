#include "render/text_art.h"

#include "posting/dot_widths.h"
#include "render/fonts.h"

namespace koron {

QFont TextArtFont() {
  QFont font = ControlFont(9);
  font.setPixelSize(kTextArtPixelSize);
  font.setKerning(false);
  return font;
}

AdvanceCache& TextArtAdvances() {
  static AdvanceCache advances([](char32_t) { return 0; });
  return advances;
}

std::vector<std::uint32_t> TextArtLineWidths(std::u16string_view text) {
  return LineWidths(text, TextArtAdvances());
}

QImage RenderTextArt(std::u16string_view) { return {}; }

bool SaveTextArtPng(std::u16string_view, const QString&, QString*) { return false; }

}  // namespace koron
