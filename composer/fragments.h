#pragma once

#include <string_view>

// The text pieces the picture is assembled from. Full-width and half-width look-alikes sit side
// by side here and the figures only line up with exactly these code points, so every piece is
// written as escapes.

namespace koron {

// Starting texts of the four lines: the policeman's cap, head, body and legs.
inline constexpr std::u16string_view TopLineStart = u"\u005F\u005F\u005B\u8B66\u005D";  // __[警]
inline constexpr std::u16string_view FaceLineStart = u"\u3000\u0028\u3000\u0020\u0029";
inline constexpr std::u16string_view BodyLineStart = u"\u3000\u0028\u3000\u0020\u0029";
inline constexpr std::u16string_view LegLineStart = u"\u3000\u0020\u007C\u0020\u007C\u3000";

// Joins the lines of every text built here.
inline constexpr std::u16string_view LineBreak = u"\u000D\u000A";

// Marchers' ears, on the top line.
inline constexpr std::u16string_view EarsSpace = u"\u0020\u2227\u2227";
inline constexpr std::u16string_view EarsPlain = u"\u2227\u2227";
inline constexpr std::u16string_view EarsWide = u"\u3000\u2227\u2227";
inline constexpr std::u16string_view EarsDot = u"\u002E\u2227\u2227";

// Fillers before a marcher's face, on the face line.
inline constexpr std::u16string_view SpacerSpace = u"\u0020";
inline constexpr std::u16string_view SpacerDot = u"\u002E";
inline constexpr std::u16string_view SpacerSpaceDot = u"\u0020\u002E";
inline constexpr std::u16string_view SpacerNone = u"";

// Marchers' bodies, on the body line.
inline constexpr std::u16string_view BodyFirst = u"\uFF36\u30CE\u0020\uFF09";
inline constexpr std::u16string_view BodyDot = u"\u002E\u0020\u30CE\u0020\uFF09";
inline constexpr std::u16string_view BodyWide = u"\u0020\u30CE\u3000\uFF09";
inline constexpr std::u16string_view BodyDotWide = u"\u002E\u0020\u30CE\u3000\uFF09";

// Marchers' legs, on the leg line.
inline constexpr std::u16string_view LegsFirst = u"\u3000\u007C\u0020\u007C\u0020";
inline constexpr std::u16string_view LegsDot = u"\u002E\u3000\u007C\u0020\u007C\u0020";
inline constexpr std::u16string_view LegsDotWide = u"\u002E\u3000\u0020\u007C\u0020\u007C\u0020";
inline constexpr std::u16string_view LegsWide = u"\u3000\u0020\u007C\u0020\u007C\u0020";

// Cheering figures: a face with both arms raised.
inline constexpr std::u16string_view CheerFirstAlone =
    u"\uFF3C\u005F\u0028\uFF9F\u2200\uFF9F\u0029\u30CE";
inline constexpr std::u16string_view CheerBody = u"\u30FD\u0028\uFF9F\u2200\uFF9F\u0029\u30CE";
inline constexpr std::u16string_view CheerBodyDots =
    u"\u002E\u30FD\u0028\uFF9F\u2200\uFF9F\u0029\u30CE\u002E";
inline constexpr std::u16string_view CheerLegsFirstAlone =
    u"\u3000\u3000\u002E\u003C\u3000\u003E\u3000";
inline constexpr std::u16string_view CheerLegsFirst = u"\u3000\u002E\u0020\u003C\u3000\u003E\u3000";
inline constexpr std::u16string_view CheerLegs = u"\u3000\u0020\u003C\u3000\u003E\u3000\u0020";

// Sign bearers: a figure whose face is the sign 国.
inline constexpr std::u16string_view SignFirstAlone = u"\uFF3C\u005F\u56FD\u30CE";
inline constexpr std::u16string_view SignBody = u"\u30FD\u56FD\u30CE";
inline constexpr std::u16string_view SignBodyDot = u"\u002E\u30FD\u56FD\u30CE";
inline constexpr std::u16string_view SignLegsFirstAlone = u"\u3000\u002E\u003C\u3000\u003E";
inline constexpr std::u16string_view SignLegsAfterCheer = u"\u0020\u002E\u003C\u3000\u003E";
inline constexpr std::u16string_view SignLegsAfterMarch = u"\u002E\u0020\u003C\u3000\u003E";
inline constexpr std::u16string_view SignLegsEven = u"\u3000\u003C\u3000\u003E";
inline constexpr std::u16string_view SignLegsOdd = u"\u3000\u0020\u003C\u3000\u003E";

}  // namespace koron
