#include "composer/procession_choices.h"

#include "text/number_reading.h"

namespace koron {

ProcessionChoices ChoicesFromTexts(const ProcessionTexts& texts) {
  ProcessionChoices choices;
  choices.MarcherCount = ReadCount(texts.Marchers);
  choices.FaceIndex = texts.FaceIndex;
  choices.FaceText = texts.FaceText;
  choices.Ears = texts.Ears;
  choices.CheerCount = ReadCount(texts.Cheer);
  choices.SignCount = ReadCount(texts.Signs);
  choices.TemplateName = texts.TemplateName;
  choices.TemplateOnly = texts.TemplateOnly;
  return choices;
}

}  // namespace koron
