#pragma once

#include <cstdint>
#include <string>

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

}  // namespace koron
