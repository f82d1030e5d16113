#include "render/fonts.h"

namespace koron {

QString ControlFaceName() {
  // Spelt out: the full-width letters and the blank between them are part of the name.
  return QStringLiteral(u"\uFF2D\uFF33\u0020\uFF30\u30B4\u30B7\u30C3\u30AF");
}

QStringList ControlFaceSubstitutes() {
  // Monapo and Mona are drawn to the same character widths; IPA P Gothic is close; after that any
  // Japanese sans face keeps the captions readable.
  return {QStringLiteral("Monapo"),
          QStringLiteral("Mona"),
          QStringLiteral("IPAPGothic"),
          QStringLiteral("VL PGothic"),
          QStringLiteral("TakaoPGothic"),
          QStringLiteral("Noto Sans CJK JP"),
          QStringLiteral("Source Han Sans JP"),
          QStringLiteral("IPAGothic"),
          QStringLiteral("VL Gothic"),
          QStringLiteral("TakaoGothic")};
}

void SetUpFonts() {
  const QString face = ControlFaceName();
  if (QFont::substitutes(face).isEmpty()) {
    QFont::insertSubstitutions(face, ControlFaceSubstitutes());
  }
}

QFont ControlFont(qreal pointSize) {
  QFont font(ControlFaceName());
  font.setPointSizeF(pointSize);
  font.setWeight(QFont::Normal);
  font.setItalic(false);
  font.setUnderline(false);
  font.setStrikeOut(false);
  font.setStyleHint(QFont::SansSerif);
  return font;
}

QFont WindowDefaultFont() { return ControlFont(9.0); }

}  // namespace koron
