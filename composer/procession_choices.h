#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace koron {

// The choices of one composition, read from the window at each press of the compose button.
struct ProcessionChoices {
  std::int32_t MarcherCount = 0;
  std::int16_t FaceIndex = 0;  // -1 when no face is chosen
  std::u16string FaceText;
  bool Ears = false;
  std::int32_t CheerCount = 0;
  std::int32_t SignCount = 0;
  std::u16string TemplateName;  // empty: no template
  bool TemplateOnly = false;
};

// The choices as the window's controls and the command line's options hold them: the three
// counts as typed, read as the window reads them.
struct ProcessionTexts {
  std::u16string_view Marchers;
  std::u16string_view Cheer;
  std::u16string_view Signs;
  std::int16_t FaceIndex = 0;
  std::u16string_view FaceText;
  bool Ears = false;
  std::u16string_view TemplateName;
  bool TemplateOnly = false;
};

// The choices for these texts: each count read with ReadCount.
ProcessionChoices ChoicesFromTexts(const ProcessionTexts& texts);

}  // namespace koron
