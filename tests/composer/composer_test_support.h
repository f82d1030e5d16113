#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

#include "composer/picture_lines.h"
#include "composer/procession_choices.h"
#include "composer/procession_rows.h"

namespace koron::testing {

// Face items as the window lists them: the face, then a space and a name for all but the first.
inline const std::u16string kFaceItem0 = u"\u0028\u0027\uFF21\u0060\u0029";
inline const std::u16string kFaceItem1 = u"\u0028\uFF9F\u0414\uFF9F\u0029\u0020\u30B8\u30E7\u30F3";
inline const std::u16string kFaceItem4 =
    u"\u0028\uFF9F\u30FC\uFF9F\u0029\u0020\u30DE\u30B7\u30E5\u30FC";
inline const std::u16string kFaceItem5 = u"\u0028\u0027\u2200\u0060\u0029\u0020\uFF1F\uFF1F\uFF1F";

inline std::u16string Cat(std::initializer_list<std::u16string_view> pieces) {
  std::u16string text;
  for (std::u16string_view piece : pieces) text.append(piece);
  return text;
}

inline ProcessionChoices Choices(std::int32_t marchers, std::int16_t face, bool ears,
                                 std::int32_t cheers, std::int32_t signs,
                                 std::u16string faceText = kFaceItem1) {
  ProcessionChoices choices;
  choices.MarcherCount = marchers;
  choices.FaceIndex = face;
  choices.FaceText = std::move(faceText);
  choices.Ears = ears;
  choices.CheerCount = cheers;
  choices.SignCount = signs;
  return choices;
}

// The lines as the row functions build them, one row after another.
inline PictureLines BuildLines(const ProcessionChoices& choices) {
  PictureLines lines = StartPictureLines();
  AppendMarchers(lines, choices);
  AppendCheerers(lines, choices);
  AppendSignBearers(lines, choices);
  return lines;
}

}  // namespace koron::testing
